// The program's start: the application, the regional decimal separator, the error
// box, and the window, opened maximised.

#include <QApplication>
#include <QLocale>

#include "main/main_form.h"
#include "main/message_box.h"
#include "processing/format_fixed.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setApplicationName("vostrel");
  SetDecimalSeparator(QLocale::system().decimalPoint().toStdString());
  InstallMessageBoxSink();
  TMainForm form;
  form.showMaximized();
  return application.exec();
}
