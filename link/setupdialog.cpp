#include "setupdialog.h"

#include <dirent.h>

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cerrno>
#include <climits>

#include "comport.h"
#include "linesetup.h"

namespace talveno::link {

namespace {

constexpr int kCustomRateIndex = 0;

const QStringList& baudRateTexts() {
    static const QStringList texts = {
        QStringLiteral("Custom"), QStringLiteral("110"),    QStringLiteral("300"),
        QStringLiteral("600"),    QStringLiteral("1200"),   QStringLiteral("2400"),
        QStringLiteral("4800"),   QStringLiteral("9600"),   QStringLiteral("14400"),
        QStringLiteral("19200"),  QStringLiteral("38400"),  QStringLiteral("56000"),
        QStringLiteral("57600"),  QStringLiteral("115200"), QStringLiteral("128000"),
        QStringLiteral("256000"),
    };
    return texts;
}

// The lists below stand in the order of the enumerations they show.
const QStringList kDataBitsTexts = {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
                                    QStringLiteral("8")};
const QStringList kStopBitsTexts = {QStringLiteral("1"), QStringLiteral("1.5"),
                                    QStringLiteral("2")};
const QStringList kParityTexts = {QStringLiteral("None"), QStringLiteral("Odd"),
                                  QStringLiteral("Even"), QStringLiteral("Mark"),
                                  QStringLiteral("Space")};
const QStringList kFlowTexts = {QStringLiteral("Hardware"), QStringLiteral("Software"),
                                QStringLiteral("None"), QStringLiteral("Custom")};

// The "Port" list: the machine's ports, read again each time it is opened,
// and whatever port is current, listed or typed.
class PortComboBox : public QComboBox {
  public:
    explicit PortComboBox(QWidget* parent) : QComboBox(parent) {
        setEditable(true);
        setInsertPolicy(QComboBox::NoInsert);
    }

    void fill(const QList<QSerialPortInfo>& ports) {
        const QString current = currentText();
        clear();
        for (const QSerialPortInfo& port : ports) {
            QStringList about;
            for (const QString& part : {port.description(), port.manufacturer()}) {
                if (!part.isEmpty()) {
                    about << part;
                }
            }
            addItem(port.portName());
            if (!about.isEmpty()) {
                setItemData(count() - 1, about.join(u'\n'), Qt::ToolTipRole);
            }
        }
        if (!current.isEmpty() && findText(current) < 0) {
            insertItem(0, current);
        }
        setCurrentIndex(findText(current));
        setEditText(current);
    }

  protected:
    void showPopup() override {
        // The list was readable when the dialog was built; should it have
        // become unreadable since, the ports listed then are still offered.
        try {
            fill(machinePorts());
        } catch (const PortError&) {
        }
        QComboBox::showPopup();
    }
};

QComboBox* listOf(const QStringList& texts, const QString& objectName, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(objectName);
    combo->addItems(texts);
    return combo;
}

}  // namespace

QList<QSerialPortInfo> machinePorts(const QString& ttyClassDir) {
    DIR* dir = ::opendir(ttyClassDir.toLocal8Bit().constData());
    if (dir == nullptr) {
        throw PortError(portMessage("Registry error", errno));
    }
    ::closedir(dir);
    return QSerialPortInfo::availablePorts();
}

SetupDialog::SetupDialog(const PortSettings& current, QWidget* parent)
    : QDialog(parent), current_(current), lastRate_(current.baudRate) {
    const QList<QSerialPortInfo> ports = machinePorts();

    setWindowTitle(QStringLiteral("Setup"));

    auto* group = new QGroupBox(QStringLiteral(" Settings "), this);
    group->setObjectName(QStringLiteral("settingsGroup"));

    auto* portCombo = new PortComboBox(group);
    portCombo->setObjectName(QStringLiteral("portCombo"));
    portCombo->setMinimumWidth(180);
    portCombo->setEditText(current.port);
    portCombo->fill(ports);
    portCombo_ = portCombo;

    baudCombo_ = listOf(baudRateTexts(), QStringLiteral("baudCombo"), group);
    baudCombo_->setInsertPolicy(QComboBox::NoInsert);
    dataBitsCombo_ = listOf(kDataBitsTexts, QStringLiteral("dataBitsCombo"), group);
    stopBitsCombo_ = listOf(kStopBitsTexts, QStringLiteral("stopBitsCombo"), group);
    parityCombo_ = listOf(kParityTexts, QStringLiteral("parityCombo"), group);
    flowCombo_ = listOf(kFlowTexts, QStringLiteral("flowCombo"), group);

    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("Port"), portCombo_);
    form->addRow(QStringLiteral("Baud rate"), baudCombo_);
    form->addRow(QStringLiteral("Data bits"), dataBitsCombo_);
    form->addRow(QStringLiteral("Stop bits"), stopBitsCombo_);
    form->addRow(QStringLiteral("Parity"), parityCombo_);
    form->addRow(QStringLiteral("Flow control"), flowCombo_);

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    const int rateIndex = baudCombo_->findText(QString::number(current.baudRate));
    baudCombo_->setCurrentIndex(rateIndex > kCustomRateIndex ? rateIndex : kCustomRateIndex);
    baudChosen(baudCombo_->currentIndex());
    dataBitsCombo_->setCurrentIndex(kDataBitsTexts.indexOf(QString::number(current.dataBits)));
    stopBitsCombo_->setCurrentIndex(static_cast<int>(current.stopBits));
    parityCombo_->setCurrentIndex(static_cast<int>(current.parity));
    flowCombo_->setCurrentIndex(static_cast<int>(current.flowControl()));

    connect(baudCombo_, &QComboBox::currentIndexChanged, this, &SetupDialog::baudChosen);
    connect(baudCombo_, &QComboBox::editTextChanged, this, &SetupDialog::updateOkButton);
}

PortSettings SetupDialog::settings() const {
    PortSettings chosen = current_;
    chosen.port = portCombo_->currentText().trimmed();
    bool valid = false;
    const int rate = baudCombo_->currentText().toInt(&valid);
    if (valid && rate > 0) {
        chosen.baudRate = rate;
    }
    if (dataBitsCombo_->currentIndex() >= 0) {
        chosen.dataBits = dataBitsCombo_->currentText().toInt();
    }
    chosen.stopBits = static_cast<StopBits>(stopBitsCombo_->currentIndex());
    chosen.parity = static_cast<Parity>(parityCombo_->currentIndex());
    chosen.setFlowControl(static_cast<FlowControl>(flowCombo_->currentIndex()));
    return chosen;
}

std::optional<PortSettings> SetupDialog::ask(QWidget* parent, const PortSettings& current) {
    SetupDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.settings();
}

void SetupDialog::baudChosen(int index) {
    if (index == kCustomRateIndex) {
        // The typed rate starts from the one chosen last.
        baudCombo_->setEditable(true);
        baudCombo_->setCompleter(nullptr);
        baudCombo_->setValidator(new QIntValidator(1, INT_MAX, baudCombo_->lineEdit()));
        baudCombo_->setEditText(QString::number(lastRate_));
    } else {
        lastRate_ = baudCombo_->currentText().toInt();
        baudCombo_->setEditable(false);
    }
    updateOkButton();
}

bool SetupDialog::customRate() const {
    return baudCombo_->currentIndex() == kCustomRateIndex;
}

void SetupDialog::updateOkButton() {
    bool valid = false;
    const int rate = baudCombo_->currentText().toInt(&valid);
    okButton_->setEnabled(!customRate() || (valid && rate > 0));
}

}  // namespace talveno::link
