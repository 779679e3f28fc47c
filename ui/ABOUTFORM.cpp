#include "ABOUTFORM.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "artwork.h"
#include "designfonts.h"

namespace {

// The window's inner border: the client area sits this far inside the frame.
constexpr int kInnerBorder = 2;

// A label that sizes itself to its text from its designed top-left corner.
QLabel* label(QWidget* parent, const char* name, QPoint topLeft, const QString& text) {
    auto* result = new QLabel(text, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->move(topLeft);
    result->adjustSize();
    return result;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

}  // namespace

TForm3::TForm3(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("ACERCA DE......"));
    setFixedSize(292 + 2 * kInnerBorder, 206 + 2 * kInnerBorder);
    setFont(talveno::ui::msSansSerifFont(11));

    auto* client = new QWidget(this);
    client->setGeometry(kInnerBorder, kInnerBorder, 292, 206);

    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 281, 161);
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);  // lowered outer, raised inner bevel

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 65, 57);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(QPixmap::fromImage(talveno::ui::programIconImage(64)));

    ProductName =
        label(Panel1, "ProductName", {83, 16}, QStringLiteral("TALVENO, descargador de datos  de"));
    Label4 =
        label(Panel1, "Label4", {83, 28}, QStringLiteral("barra de medición de intercepción PAR"));
    Version = label(Panel1, "Version", {83, 44}, QStringLiteral("Version 1.1"));
    Label1 = label(Panel1, "Label1", {112, 64}, QStringLiteral("Propiedad de: "));

    Label2 = label(Panel1, "Label2", {44, 84}, QStringLiteral("C A M P O   S U R   S. A."));
    QFont owner = talveno::ui::arialFont(16);
    owner.setBold(true);
    owner.setItalic(true);
    owner.setUnderline(true);
    Label2->setFont(owner);
    setTextColour(Label2, QColor(255, 0, 0));
    Label2->adjustSize();

    Comments = new QLabel(Panel1);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setGeometry(8, 104, 3, 13);
    Comments->setWordWrap(true);

    NoticeLabel = label(Panel1, "NoticeLabel", {48, 112},
                        QStringLiteral("Todos los derechos reservados, 2001-2024"));

    Label3 = label(Panel1, "Label3", {100, 132}, QStringLiteral("www.camposur.example"));
    QFont web = talveno::ui::arialFont(11);
    web.setBold(true);
    web.setItalic(true);
    Label3->setFont(web);
    setTextColour(Label3, QColor(128, 0, 128));
    Label3->adjustSize();

    OKButton = new QPushButton(QStringLiteral("OK"), client);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TForm3::OKButtonClick);
}

void TForm3::OKButtonClick() {
    accept();
}
