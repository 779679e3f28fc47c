// Form2, the Help window ("Ayuda"): the program's use and the recommended
// port settings, in a text box the user may type into. What is typed stays
// until the program ends and is never saved. Shown modally over the main
// window by its "Ayuda" button; it has no button of its own and is closed by
// its close box, its system menu or Alt+F4.
#pragma once

#include <QDialog>

class QPlainTextEdit;

class TForm2 : public QDialog {
    Q_OBJECT
  public:
    // parent: the main window, which the Help window is centred over.
    explicit TForm2(QWidget* parent = nullptr);

  private:
    QPlainTextEdit* Memo1 = nullptr;
};
