#include "uitest.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>

#include "memotext.h"
#include "setupdialog.h"

namespace talveno::uitest {

namespace {

constexpr auto kDownloadLimit = std::chrono::seconds(60);

std::vector<std::string> firstReadings(const std::string& stream) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (lines.size() < 1000) {
        const std::size_t end = stream.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(stream.substr(std::min(start, stream.size())));
            start = stream.size();
            continue;
        }
        lines.push_back(stream.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace

QAbstractButton* buttonWithText(QWidget* dialog, const QString& text) {
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        if (button->text().remove(QLatin1Char('&')) == text) {
            return button;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

void saveUnder(QFileDialog* dialog, const QString& name) {
    // Typed into the name box: selectFile() leaves the box alone while it
    // has the focus.
    auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(nameBox, nullptr);
    nameBox->setText(name);
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_NE(buttons, nullptr);
    buttons->button(QDialogButtonBox::Save)->click();
}

void pressSetupButton(QWidget* dialog, const QString& text) {
    if (QAbstractButton* button = buttonWithText(dialog, text)) {
        button->click();
    }
}

std::string expectedReadingFile(const std::string& stream) {
    std::string file;
    int k = 0;
    for (const std::string& reading : firstReadings(stream)) {
        file += std::to_string(++k) + "  " + reading + "\t\r\n";
    }
    return file;
}

std::optional<std::string> fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll().toStdString();
}

void MainWindowTest::SetUp() {
    folder = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(folder->isValid());
    form = std::make_unique<TForm1>();
    help = std::make_unique<TForm2>(form.get());
    about = std::make_unique<TForm3>(form.get());
    form->setInformationWindows(help.get(), about.get());

    Label2 = element<QLabel>(form.get(), "Label2");
    BitBtn1 = element<QPushButton>(form.get(), "BitBtn1");
    Button1 = element<QPushButton>(form.get(), "Button1");
    Button4 = element<QPushButton>(form.get(), "Button4");
    Button2 = element<QPushButton>(form.get(), "Button2");
    Button3 = element<QPushButton>(form.get(), "Button3");
    Memo2 = element<QPlainTextEdit>(form.get(), "Memo2");
    Panel1 = element<QWidget>(form.get(), "Panel1");
    Panel4 = element<QWidget>(form.get(), "Panel4");
}

void MainWindowTest::TearDown() {
    closeAllModalWindows();
    if (form) {
        form->close();
    }
    about.reset();
    help.reset();
    form.reset();
    bar.reset();
}

void MainWindowTest::useBar(const sim::BarOptions& options) {
    bar = std::make_unique<sim::SimulatedBar>(options);
    stream = sim::readingStream(options);
    link::PortSettings settings = form->comPort().settings();
    settings.port = QString::fromStdString(bar->devicePath());
    form->comPort().setSettings(settings);
    bar->start();
}

bool MainWindowTest::startReady(const QString& setupButton) {
    if (!bar) {
        sim::BarOptions unpaced;
        unpaced.baud = 0;
        useBar(unpaced);
    }
    ModalScript script;
    script.on<link::SetupDialog>("settings dialog", [setupButton](link::SetupDialog* dialog) {
        pressSetupButton(dialog, setupButton);
    });
    script.start();
    form->show();
    if (!script.waitFinished()) {
        ADD_FAILURE() << script.failure();
        return false;
    }
    return waitUntil([this] { return BitBtn1->isVisible() && status().startsWith("Haga click"); });
}

bool MainWindowTest::listFinished() const {
    const QString last = ui::memoTextFromBytes("1000  " + firstReadings(stream).back() + "\t");
    return Button1->isEnabled() && memo2Line(999) == last;
}

bool MainWindowTest::downloadAll() {
    BitBtn1->click();
    return waitUntil([this] { return listFinished(); }, kDownloadLimit);
}

std::optional<QString> MainWindowTest::saveAs(const QString& name) {
    const QString path = folder->filePath(name);
    ModalScript script;
    script.on<QFileDialog>("save dialog", [path](QFileDialog* dialog) { saveUnder(dialog, path); });
    script.start();
    Button1->click();
    if (!script.waitFinished()) {
        ADD_FAILURE() << script.failure();
        return std::nullopt;
    }
    return path;
}

}  // namespace talveno::uitest
