// The views are drawn by the window and by vostrel-plot alike and may not use the
// window: this file must not build.
#include "main/main_form.h"
#include "views/survey_view.h"
