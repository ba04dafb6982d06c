// The program's start: the application, the error box, and the window, opened maximised.

#include <QApplication>

#include "main/language.h"
#include "main/main_form.h"
#include "main/message_box.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setApplicationName("vostrel");
  application.setOrganizationName("vostrel");
  InstallMessageBoxSink();
  const QStringList arguments = application.arguments();
  UseLanguage(ChosenLanguage(arguments));
  TMainForm form;
  // vostrel FILE.qmr opens the survey, vostrel LINE.vln the line, as a file manager asks
  // on a double click.
  QString survey;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments.at(i) == "--lang") {
      ++i;
      continue;
    }
    survey = arguments.at(i);
    break;
  }
  form.ShowAtStart(survey);
  return application.exec();
}
