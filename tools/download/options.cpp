#include "options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <algorithm>
#include <utility>

#include "readinglist.h"

namespace talveno::download {

namespace {

// The longest silence --timeout accepts: a day.
constexpr double kMaxTimeoutSeconds = 86400.0;

constexpr const char* kHelpPortAndDownload =
    "Uso: talveno-download [OPCIÓN]... -o ARCHIVO\n"
    "     talveno-download --list-ports\n"
    "Descarga por un puerto serie las 1000 lecturas guardadas en la barra de\n"
    "medición, las escribe numeradas en un archivo de texto, igual que \"GUARDAR\"\n"
    "en el programa TALVENO, y, si se pide, borra la memoria de la barra.\n"
    "\n"
    "Puerto y línea (por omisión, los del programa: COM1 a 9600 bit/s, 8 bits de\n"
    "datos, sin paridad, 1 bit de parada, sin control de flujo):\n"
    "      --port NOMBRE       el puerto: COMn (el n-ésimo puerto serie, /dev/ttyS(n-1)),\n"
    "                          un nombre de /dev como ttyUSB0, o una ruta\n"
    "      --baud N            velocidad en bit/s (9600)\n"
    "      --data-bits N       bits de datos: 5, 6, 7 u 8 (8)\n"
    "      --parity P          paridad: none, odd, even, mark o space (none)\n"
    "      --stop-bits N       bits de parada: 1, 1.5 o 2 (1)\n"
    "      --flow F            control de flujo: none, hardware o software (none)\n"
    "      --list-ports        muestra los puertos serie de la máquina, uno por línea:\n"
    "                          nombre, descripción y fabricante separados por tabuladores\n"
    "\n"
    "Descarga:\n"
    "  -o, --output ARCHIVO    el archivo de lecturas; un nombre sin extensión recibe .txt\n"
    "      --erase             borra la memoria de la barra (le envía \"3\") una vez\n"
    "                          escrito el archivo; nunca si no se pudo escribir\n"
    "      --timeout SEGUNDOS  cuánto puede callar la barra antes de dar la descarga\n"
    "                          por perdida (10); una lectura 1000 sin su CR LF se toma\n"
    "                          tal como llegó tras medio segundo de silencio\n"
    "      --partial ARCHIVO   si la barra calla o se desconecta antes de 1000 lecturas,\n"
    "                          guarda ahí las que llegaron, numeradas igual\n"
    "  -q, --quiet             sin barra de progreso ni mensajes; solo los errores\n";

constexpr const char* kHelpSimulator =
    "\n"
    "Barra simulada (sin cable ni barra):\n"
    "      --simulate          descarga de una barra simulada en un pseudoterminal\n"
    "      --sim-baud N        ritmo de la barra simulada en bit/s (el de --baud)\n"
    "      --sim-unpaced       la barra simulada envía sin pausas\n";

constexpr const char* kHelpEnd =
    "\n"
    "  -h, --help              muestra esta ayuda y termina\n"
    "      --version           muestra la versión y termina\n"
    "\n"
    "Códigos de salida:\n"
    "  0  archivo escrito (y orden de borrado enviada, con --erase)\n"
    "  1  fallo interno inesperado\n"
    "  2  línea de órdenes incorrecta\n"
    "  3  error del puerto: no se pudo abrir, escribir o leer, o se desconectó\n"
    "  4  la barra calló antes de enviar 1000 lecturas; no se escribe el archivo\n"
    "  5  no se pudo escribir un archivo (también el de --partial)\n";

struct Definitions {
    QCommandLineOption help{{"h", "help"}};
    QCommandLineOption version{"version"};
    QCommandLineOption port{"port", {}, "NOMBRE"};
    QCommandLineOption baud{"baud", {}, "N"};
    QCommandLineOption dataBits{"data-bits", {}, "N"};
    QCommandLineOption parity{"parity", {}, "P"};
    QCommandLineOption stopBits{"stop-bits", {}, "N"};
    QCommandLineOption flow{"flow", {}, "F"};
    QCommandLineOption listPorts{"list-ports"};
    QCommandLineOption output{{"o", "output"}, {}, "ARCHIVO"};
    QCommandLineOption erase{"erase"};
    QCommandLineOption timeout{"timeout", {}, "SEGUNDOS"};
    QCommandLineOption partial{"partial", {}, "ARCHIVO"};
    QCommandLineOption quiet{{"q", "quiet"}};
#ifdef TALVENO_HAVE_SIMULATOR
    QCommandLineOption simulate{"simulate"};
    QCommandLineOption simBaud{"sim-baud", {}, "N"};
    QCommandLineOption simUnpaced{"sim-unpaced"};
#endif

    QList<QCommandLineOption> all() const {
        return {
            help,     version,   port,       baud,  dataBits, parity,  stopBits,
            flow,     listPorts, output,     erase, timeout,  partial, quiet,
#ifdef TALVENO_HAVE_SIMULATOR
            simulate, simBaud,   simUnpaced,
#endif
        };
    }
};

// Thrown inside the parser for a wrong command line; its text is the user's.
struct UsageError {
    QString message;
};

// The option, as the user would write it, that wants a value but is the last
// argument; empty when there is none.
QString optionMissingItsValue(const QStringList& arguments, const Definitions& options) {
    if (arguments.size() < 2) {
        return {};
    }
    const QString last = arguments.last();
    for (const QCommandLineOption& option : options.all()) {
        if (option.valueName().isEmpty()) {
            continue;
        }
        for (const QString& name : option.names()) {
            if (last == (name.size() == 1 ? "-" : "--") + name) {
                return last;
            }
        }
    }
    return {};
}

int positiveInteger(const QString& text, const QString& option) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value <= 0) {
        throw UsageError{
            QStringLiteral("%1 necesita un número entero positivo, no «%2»").arg(option, text)};
    }
    return value;
}

// The value of a choice option, looked up among its words.
template <typename Value, std::size_t N>
Value choiceFrom(const QString& text, const std::pair<const char*, Value> (&choices)[N],
                 const QString& option, const QString& words) {
    for (const auto& [word, value] : choices) {
        if (text == QLatin1String(word)) {
            return value;
        }
    }
    throw UsageError{QStringLiteral("%1 es %2, no «%3»").arg(option, words, text)};
}

constexpr std::pair<const char*, link::Parity> kParities[] = {
    {"none", link::Parity::None}, {"odd", link::Parity::Odd},     {"even", link::Parity::Even},
    {"mark", link::Parity::Mark}, {"space", link::Parity::Space},
};
constexpr std::pair<const char*, link::StopBits> kStopBits[] = {
    {"1", link::StopBits::One}, {"1.5", link::StopBits::OneAndHalf}, {"2", link::StopBits::Two}};
constexpr std::pair<const char*, link::FlowControl> kFlows[] = {
    {"none", link::FlowControl::None},
    {"hardware", link::FlowControl::Hardware},
    {"software", link::FlowControl::Software},
};

std::chrono::milliseconds timeoutFrom(const QString& text) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    // The comparisons are false for NaN, so NaN is refused too.
    if (!ok || !(seconds > 0.0 && seconds <= kMaxTimeoutSeconds)) {
        throw UsageError{QStringLiteral("--timeout necesita segundos, más de 0 y hasta %1, no «%2»")
                             .arg(kMaxTimeoutSeconds)
                             .arg(text)};
    }
    const auto milliseconds = static_cast<long long>(seconds * 1000.0 + 0.5);
    return std::chrono::milliseconds(std::max(1LL, milliseconds));
}

std::string fileNameFrom(const QString& text, const QString& option) {
    if (text.isEmpty()) {
        throw UsageError{QStringLiteral("%1 necesita un nombre de archivo").arg(option)};
    }
    return withDefaultExtension(QFile::encodeName(text).toStdString(), "txt");
}

CommandLine parse(const QStringList& arguments) {
    const Definitions defined;
    QCommandLineParser parser;
    parser.addOptions(defined.all());
    if (!parser.parse(arguments)) {
        if (!parser.unknownOptionNames().isEmpty()) {
            const QString name = parser.unknownOptionNames().first();
            throw UsageError{QStringLiteral("opción desconocida: %1%2")
                                 .arg(name.size() == 1 ? "-" : "--", name)};
        }
        if (const QString option = optionMissingItsValue(arguments, defined); !option.isEmpty()) {
            throw UsageError{QStringLiteral("%1 necesita un valor").arg(option)};
        }
        throw UsageError{parser.errorText()};
    }

    CommandLine line;
    if (parser.isSet(defined.help)) {
        line.action = CommandLine::Action::ShowHelp;
        return line;
    }
    if (parser.isSet(defined.version)) {
        line.action = CommandLine::Action::ShowVersion;
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        throw UsageError{
            QStringLiteral("argumento de más: «%1»").arg(parser.positionalArguments().first())};
    }

    Options& options = line.options;
    link::PortSettings& port = options.port;
    if (parser.isSet(defined.port)) {
        port.port = parser.value(defined.port);
        if (port.port.isEmpty()) {
            throw UsageError{QStringLiteral("--port necesita un nombre de puerto")};
        }
    }
    if (parser.isSet(defined.baud)) {
        port.baudRate = positiveInteger(parser.value(defined.baud), "--baud");
    }
    if (parser.isSet(defined.dataBits)) {
        const QString text = parser.value(defined.dataBits);
        const int bits = text.toInt();
        if (text.size() != 1 || bits < 5 || bits > 8) {
            throw UsageError{QStringLiteral("--data-bits es 5, 6, 7 u 8, no «%1»").arg(text)};
        }
        port.dataBits = bits;
    }
    if (parser.isSet(defined.parity)) {
        port.parity = choiceFrom(parser.value(defined.parity), kParities, "--parity",
                                 "none, odd, even, mark o space");
    }
    if (parser.isSet(defined.stopBits)) {
        port.stopBits =
            choiceFrom(parser.value(defined.stopBits), kStopBits, "--stop-bits", "1, 1.5 o 2");
    }
    if (parser.isSet(defined.flow)) {
        port.setFlowControl(
            choiceFrom(parser.value(defined.flow), kFlows, "--flow", "none, hardware o software"));
    }

    options.listPorts = parser.isSet(defined.listPorts);
    options.quiet = parser.isSet(defined.quiet);
    options.erase = parser.isSet(defined.erase);
    if (parser.isSet(defined.timeout)) {
        options.timeout = timeoutFrom(parser.value(defined.timeout));
    }
    if (parser.isSet(defined.partial)) {
        options.partial = fileNameFrom(parser.value(defined.partial), "--partial");
    }

#ifdef TALVENO_HAVE_SIMULATOR
    const bool simulate = parser.isSet(defined.simulate);
    const bool simBaud = parser.isSet(defined.simBaud);
    const bool simUnpaced = parser.isSet(defined.simUnpaced);
    if (!simulate && (simBaud || simUnpaced)) {
        throw UsageError{QStringLiteral("--sim-baud y --sim-unpaced solo valen con --simulate")};
    }
    if (simBaud && simUnpaced) {
        throw UsageError{QStringLiteral("--sim-baud y --sim-unpaced se excluyen")};
    }
    if (simulate && parser.isSet(defined.port)) {
        throw UsageError{QStringLiteral("--simulate usa su propio puerto; sobra --port")};
    }
    if (simulate) {
        options.simulatedBaud = simUnpaced ? 0
                                : simBaud
                                    ? positiveInteger(parser.value(defined.simBaud), "--sim-baud")
                                    : port.baudRate;
    }
#endif

    if (options.listPorts) {
        line.action = CommandLine::Action::ListPorts;
        return line;
    }
    if (!parser.isSet(defined.output)) {
        throw UsageError{QStringLiteral("falta -o ARCHIVO, el archivo de lecturas")};
    }
    options.output = fileNameFrom(parser.value(defined.output), "-o/--output");
    line.action = CommandLine::Action::Download;
    return line;
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    try {
        return parse(arguments);
    } catch (const UsageError& error) {
        CommandLine line;
        line.action = CommandLine::Action::UsageError;
        line.usageMessage = error.message;
        return line;
    }
}

QString helpText() {
    QString text = QString::fromUtf8(kHelpPortAndDownload);
#ifdef TALVENO_HAVE_SIMULATOR
    text += QString::fromUtf8(kHelpSimulator);
#endif
    return text + QString::fromUtf8(kHelpEnd);
}

QString versionText() {
    return QStringLiteral("talveno-download %1\n").arg(TALVENO_VERSION);
}

}  // namespace talveno::download
