#include "Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>

#include "ABOUTFORM.h"
#include "Unit2.h"
#include "artwork.h"
#include "designfonts.h"
#include "errordisplay.h"
#include "memotext.h"
#include "readinglist.h"

using talveno::Element;
using talveno::ui::runHandler;

namespace {

const QColor kTeal(0, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGray(128, 128, 128);

constexpr int kClientWidth = 465;
constexpr int kClientHeight = 353;

// The maker's postal address, shown as the banner's hint.
const char* const kMakerAddress =
    "Campo Sur Instrumentos S.A. - Calle de los Sensores 742, (9999) Villa Ensayo, Argentina";

template <typename Widget>
Widget* placed(Widget* widget, const char* name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

// A panel in the standard dialog face colour, its bevel raised by
// bevelWidth pixels (0: a spaced bevel, drawn as nothing).
QFrame* panel(QWidget* parent, const char* name, QRect geometry, int bevelWidth) {
    auto* frame = placed(new QFrame(parent), name, geometry);
    setColour(frame, QPalette::Window, QApplication::palette().color(QPalette::Window));
    frame->setAutoFillBackground(true);
    if (bevelWidth > 0) {
        frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
        frame->setLineWidth(bevelWidth);
    }
    return frame;
}

// A word-wrapping text box with a vertical scroll bar.
QPlainTextEdit* memo(QWidget* parent, const char* name, QRect geometry) {
    auto* box = placed(new QPlainTextEdit(parent), name, geometry);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, QRect geometry, const char* text) {
    auto* push = placed(new QPushButton(QString::fromUtf8(text), parent), name, geometry);
    // As on the designed window, Enter presses the push button that has the
    // focus.
    push->setAutoDefault(true);
    return push;
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      workflow_(*this, ComPort1) {
    buildDesign();

    ComPort1.setDialogParent(this);
    connect(&ComPort1, &talveno::link::ComPort::rxChar, this, &TForm1::ComPort1RxChar);
    connect(&ComPort1, &talveno::link::ComPort::failed, this,
            [this](const QString& message) { talveno::ui::showError(this, message); });
    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
}

TForm1::~TForm1() = default;

void TForm1::buildDesign() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("TALVENO"));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(talveno::ui::arialFont(11));
    QPalette teal = palette();
    teal.setColor(QPalette::Window, kTeal);
    setPalette(teal);
    setAutoFillBackground(true);

    Label1 =
        placed(new QLabel(QStringLiteral("T A L V E N O"), this), "Label1", {125, 50, 199, 39});
    QFont title = talveno::ui::staccatoFont(32);
    title.setBold(true);
    title.setUnderline(true);
    Label1->setFont(title);
    setColour(Label1, QPalette::WindowText, kRed);
    Label1->adjustSize();

    Label2 = placed(new QLabel(QString::fromUtf8(talveno::kStatusSelectPort.data(),
                                                 talveno::kStatusSelectPort.size()),
                               this),
                    "Label2", {24, 328, 420, 16});
    QFont status = talveno::ui::arialFont(13);
    status.setBold(true);
    Label2->setFont(status);
    setColour(Label2, QPalette::WindowText, Qt::white);
    Label2->adjustSize();

    Panel2 = panel(this, "Panel2", {80, 5, 286, 48}, 3);
    Image1 = placed(new QLabel(Panel2), "Image1", {3, 3, 280, 42});
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap::fromImage(talveno::ui::bannerImage(Image1->size())));
    Image1->setToolTip(QString::fromUtf8(kMakerAddress));

    Panel1 = panel(this, "Panel1", {150, 102, 171, 216}, 0);
    Memo2 = memo(Panel1, "Memo2", {25, 10, 126, 191});
    QFont list = talveno::ui::msSansSerifFont(19);
    Memo2->setFont(list);
    setColour(Memo2, QPalette::Text, kBlue);
    Memo2->setToolTip(QStringLiteral("Muestra los datos convertidos y ordenados"));

    Panel3 = panel(this, "Panel3", {-5, 2, 96, 119}, 3);
    Panel3->hide();
    Edit1 = placed(new QLineEdit(QStringLiteral("0"), Panel3), "Edit1", {10, 15, 76, 37});
    Edit1->setFont(talveno::ui::msSansSerifFont(24));
    Edit1->setToolTip(QStringLiteral("Muestra ela evolución de la descarga"));
    Memo1 = memo(Panel3, "Memo1", {10, 75, 81, 31});
    QFont received = talveno::ui::msSansSerifFont(19);
    received.setBold(true);
    Memo1->setFont(received);
    setColour(Memo1, QPalette::Text, kRed);
    Memo1->setToolTip(QStringLiteral("Muestra los datos que ingresan de la barra"));

    ButtonPanel = panel(this, "ButtonPanel", {360, 102, 95, 216}, 3);
    Button1 = button(ButtonPanel, "Button1", {10, 22, 75, 25}, "GUARDAR");
    Button1->setToolTip(QStringLiteral("Guarda los datos descargados en disco"));
    Button4 = button(ButtonPanel, "Button4", {10, 74, 75, 25}, "BORRAR");
    Button4->setToolTip(QStringLiteral("Borra los datos de la memoria de la barra"));
    Button2 = button(ButtonPanel, "Button2", {12, 124, 73, 25}, "Ayuda");
    Button3 = button(ButtonPanel, "Button3", {12, 172, 75, 25}, "Acerca de:");

    BitBtn1 = button(this, "BitBtn1", {11, 135, 336, 141}, "CONECTAR");
    QFont connectFont = talveno::ui::msSansSerifFont(32);
    connectFont.setBold(true);
    connectFont.setItalic(true);
    BitBtn1->setFont(connectFont);
    setColour(BitBtn1, QPalette::ButtonText, kGray);
    BitBtn1->setIcon(talveno::ui::checkMarkIcon());
    BitBtn1->setIconSize(QSize(32, 32));
    BitBtn1->setDefault(true);
    BitBtn1->setToolTip(QStringLiteral("Conecta y solicita la descarga de datos"));

    Panel4 = panel(this, "Panel4", {35, 105, 81, 216}, 3);
    ProgressBar1 = placed(new QProgressBar(Panel4), "ProgressBar1", {15, 25, 51, 171});
    ProgressBar1->setOrientation(Qt::Vertical);
    ProgressBar1->setRange(0, talveno::kProgressMaximum);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);

    setTabOrder(Memo2, BitBtn1);
    setTabOrder(BitBtn1, Button1);
    setTabOrder(Button1, Button4);
    setTabOrder(Button4, Button2);
    setTabOrder(Button2, Button3);

    const QRect desktop = screen()->availableGeometry();
    move(desktop.center() - rect().center());
}

void TForm1::setInformationWindows(TForm2* help, TForm3* about) {
    Form2 = help;
    Form3 = about;
}

bool TForm1::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !activated_) {
        activated_ = true;
        // After the activation has been handled, so that the window is on
        // screen behind the settings dialog.
        QTimer::singleShot(0, this, &TForm1::FormActivate);
    }
    return QWidget::event(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && BitBtn1->isVisible() && BitBtn1->isEnabled()) {
        BitBtn1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TForm1::FormActivate() {
    runHandler(this, [this] { workflow_.FormActivate(); });
}

void TForm1::BitBtn1Click() {
    runHandler(this, [this] { workflow_.BitBtn1Click(); });
}

void TForm1::ComPort1RxChar(int count) {
    runHandler(this, [this, count] { workflow_.ComPort1RxChar(count); });
}

void TForm1::Button1Click() {
    runHandler(this, [this] { workflow_.Button1Click(); });
}

void TForm1::Button4Click() {
    runHandler(this, [this] { workflow_.Button4Click(); });
}

void TForm1::FormClose() {
    runHandler(this, [this] { workflow_.FormClose(); });
}

void TForm1::Button2Click() {
    runHandler(this, [this] {
        if (Form2) {
            Form2->exec();
        }
    });
}

void TForm1::Button3Click() {
    runHandler(this, [this] {
        if (Form3) {
            Form3->exec();
        }
    });
}

QWidget* TForm1::element(Element which) const {
    switch (which) {
        case Element::Label2:
            return Label2;
        case Element::BitBtn1:
            return BitBtn1;
        case Element::Button1:
            return Button1;
        case Element::Button4:
            return Button4;
        case Element::Panel1:
            return Panel1;
        case Element::Memo2:
            return Memo2;
        case Element::Panel3:
            return Panel3;
        case Element::Panel4:
            return Panel4;
    }
    return nullptr;
}

void TForm1::setVisible(Element which, bool visible) {
    QWidget* widget = element(which);
    QWidget* focused = focusWidget();
    if (!visible && focused != nullptr && (focused == widget || widget->isAncestorOf(focused))) {
        // The window itself takes the focus of a box it hides, as the designed
        // window does, rather than handing it to the next push button: Enter
        // then still reaches the default button.
        setFocus(Qt::OtherFocusReason);
    }
    widget->setVisible(visible);
}

void TForm1::setEnabled(Element which, bool enabled) {
    element(which)->setEnabled(enabled);
}

void TForm1::setLabel2Text(const std::string& text) {
    Label2->setText(QString::fromStdString(text));
    Label2->adjustSize();
}

void TForm1::setEdit1Text(const std::string& text) {
    Edit1->setText(QString::fromStdString(text));
}

void TForm1::setMemo2Lines(const std::vector<std::string>& lines) {
    QString text;
    for (const std::string& line : lines) {
        text += talveno::ui::memoTextFromBytes(line);
        text += QLatin1Char('\n');
    }
    Memo2->setPlainText(text);
}

std::vector<std::string> TForm1::memo2Lines() const {
    // Block by block: the document's plain text would turn a no-break space
    // (byte 0xA0) into a blank.
    std::vector<std::string> lines;
    for (QTextBlock block = Memo2->document()->begin(); block.isValid(); block = block.next()) {
        lines.push_back(talveno::ui::bytesFromMemoText(block.text()));
    }
    // The box ends with a line break after the last line, as the list is set.
    if (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    return lines;
}

void TForm1::setMemo2Selection(int start, int length) {
    QTextCursor cursor(Memo2->document());
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    Memo2->setTextCursor(cursor);
}

void TForm1::focusMemo2() {
    Memo2->setFocus(Qt::OtherFocusReason);
}

void TForm1::setProgressBar1Position(int position) {
    // QProgressBar ignores a value outside its range; the designed bar shows
    // a full bar past its maximum.
    ProgressBar1->setValue(std::clamp(position, ProgressBar1->minimum(), ProgressBar1->maximum()));
}

std::optional<std::string> TForm1::SaveDialog1Execute(const talveno::SaveDialogOptions& options) {
    SaveDialog1->setDefaultSuffix(QString::fromStdString(options.defaultExtension));
    // The designed folder is C:\; where there is none, the user's own.
    const QString initial = QFile::decodeName(options.initialDir.c_str());
    SaveDialog1->setDirectory(QDir(initial).exists() ? initial : QDir::homePath());
    if (SaveDialog1->exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = SaveDialog1->selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    // Qt's own dialog adds the default suffix already; a platform's native
    // dialog may hand the name back as typed.
    return talveno::withDefaultExtension(QFile::encodeName(chosen.first()).toStdString(),
                                         options.defaultExtension);
}

bool TForm1::confirmEraseUnsaved() {
    QMessageBox box(QMessageBox::Question, QStringLiteral("TALVENO"),
                    QStringLiteral("Los datos descargados no han sido guardados. Si borra la "
                                   "memoria de la barra, se perderán."),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setInformativeText(QStringLiteral("¿Desea borrarlos de todos modos?"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
