#include "errordisplay.h"

#include <QMessageBox>

namespace talveno::ui {

QString errorDisplayText(const QString& message) {
    if (message.isEmpty() || message.back() <= QLatin1Char('.')) {
        return message;
    }
    return message + QLatin1Char('.');
}

void showError(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("TALVENO"), errorDisplayText(message),
                    QMessageBox::Ok, parent);
    box.exec();
}

QString errorMessage(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

}  // namespace talveno::ui
