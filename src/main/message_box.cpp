#include "main/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "chart/message_sink.h"
#include "main/language.h"

void ShowErrorBox(const char* text) noexcept { ShowErrorText(text); }

void InstallMessageBoxSink() {
  SetMessageSink([](const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), CoreErrorText(QString::fromStdString(text)),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
  });
}
