// The program's start: the application, the error box, and the window, opened maximised.

#include <QApplication>

#include "main/main_form.h"
#include "main/message_box.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setApplicationName("vostrel");
  application.setOrganizationName("vostrel");
  InstallMessageBoxSink();
  TMainForm form;
  form.showMaximized();
  // vostrel FILE.qmr opens the survey, as a file manager asks on a double click.
  const QStringList arguments = application.arguments();
  if (arguments.size() > 1) form.OpenFromCommandLine(arguments.at(1));
  return application.exec();
}
