#include "Unit2.h"

#include <QPlainTextEdit>
#include <QStringList>

#include "designfonts.h"

namespace {

// The help text, line by line; the blanks at the ends of lines and those that
// line up the port settings are part of it.
const char* const kHelpLines[] = {
    "Ayuda para el uso de este programa:",
    "",
    "TALVENO es un programa que corre bajo ",
    "Windows 95/98/ME. Le permitirá descargar ",
    "los datos almacenados en la barra de medición",
    "de intercepción solar PAR.",
    "Una vez descargados los mismos podrá ",
    "guardarlos en el disco rígido de su máquina o ",
    "bién en un diskette.",
    "El tipo de archivo que se genera es ASCII tipo",
    ".TXT. No hace falta ponerle la extensión, el ",
    "programa la asigna de manera automática.",
    "El uso es muy simple y las sucesivas ",
    "pantallas lo van guiando inequívocamente a ",
    "realizar las acciones que las leyendas ",
    "sugieren.",
    "Es importante seleccionar el puerto serial ",
    "correcto que se encuentra disponible en la PC ",
    "que utiliza.",
    "En líneas generales las PC portátiles poseen el ",
    "COM1 como puerto disponible.",
    "Las PC de banco poseen el COM2 como ",
    "disponible. (el COM1 lo suele utilizar el ",
    "mouse).",
    "El resto de los datos de esta primer pantalla ",
    "deben quedar como se indica a continuación:",
    "",
    "Baud rate:          9600",
    "Data Bits:                 8",
    "Stop bits:                  1",
    "Parity:                NONE",
    "Flow control:      NONE",
    "",
    "Ante cualquier duda o consulta no deje de ",
    "ponerse en contacto con nuestra empresa. ",
    "Estamos para satisfacer sus necesidades en ",
    "materia de equipamiento científico para la ",
    "investigación.",
    "",
    "Campo Sur Instrumentos S.A.",
    "Calle de los Sensores 742, (9999) Villa Ensayo",
    "Argentina",
    "Tel./Fax: +54 (0999) 555-0142",
    "E-mail: info@camposur.example",
    "Web: www.camposur.example",
};

}  // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Ayuda"));
    setFixedSize(256, 348);
    setFont(talveno::ui::msSansSerifFont(11));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 0, 256, 348);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setFont(talveno::ui::arialFont(11));
    QPalette info = Memo1->palette();
    info.setColor(QPalette::Base, info.color(QPalette::ToolTipBase));
    info.setColor(QPalette::Text, info.color(QPalette::ToolTipText));
    Memo1->setPalette(info);

    QStringList lines;
    for (const char* line : kHelpLines) {
        lines << QString::fromUtf8(line);
    }
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}
