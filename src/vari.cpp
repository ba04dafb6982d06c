#include "vari.h"

Vari vari;
