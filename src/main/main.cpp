// The program's start: the application, the error box, and the window, opened maximised.

#include <QApplication>

#include "main/main_form.h"
#include "main/message_box.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setApplicationName("vostrel");
  InstallMessageBoxSink();
  TMainForm form;
  form.showMaximized();
  return application.exec();
}
