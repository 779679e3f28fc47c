// Form3, the About window ("ACERCA DE......"): the program's icon, product
// name, version 1.1 and owner. Shown modally over the main window by its
// "Acerca de:" button; "OK" (the default button, so Enter too) and the close
// box close it.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TForm3 : public QDialog {
    Q_OBJECT
  public:
    // parent: the main window, which the About window is centred over.
    explicit TForm3(QWidget* parent = nullptr);

  private:
    void OKButtonClick();

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Version = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Comments = nullptr;
    QLabel* NoticeLabel = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* OKButton = nullptr;
};
