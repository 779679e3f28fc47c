// talveno-barsim: a measuring bar on a pseudo-terminal, for trying the
// program without the instrument. Prints the device to open, serves until
// SIGINT, SIGTERM or SIGHUP, and logs what it receives on stderr.
#include <getopt.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>

#include "barsim.h"

namespace {

constexpr int exitOk = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

constexpr const char* usageText =
    "Uso: talveno-barsim [OPCIONES]\n"
    "Simula la barra de medición en un pseudoterminal. Escribe en la salida\n"
    "estándar la ruta del dispositivo que debe abrir el programa y atiende\n"
    "hasta recibir SIGINT, SIGTERM o SIGHUP. La barra responde a 0x38 con sus\n"
    "lecturas (líneas terminadas en CR LF) y a 0x33 borrando su memoria.\n"
    "\n"
    "  --lines N            lecturas almacenadas (1000)\n"
    "  --extra-lines N      líneas que envía después de ellas (0)\n"
    "  --baud N             ritmo de una línea a N bit/s (9600)\n"
    "  --unpaced            envía tan rápido como el terminal lo acepte\n"
    "  --chunk-size N       bytes por escritura (16)\n"
    "  --nul                bytes NUL en las líneas 2, 500 y 1000\n"
    "  --high-bytes         bytes B5 E9 FF 80 en las líneas 3, 501 y 999\n"
    "  --lone-cr-lf         CR y LF sueltos en las líneas 4, 502 y 998\n"
    "  --empty-readings     líneas 5, 503 y 997 vacías\n"
    "  --jump-past-1000     una sola escritura lleva la cuenta de 999 a 1001\n"
    "  --hang-up-after N    tras N bytes enviados, el dispositivo desaparece\n"
    "  --never-answer       no responde a ninguna orden\n"
    "  --link RUTA          enlace simbólico al dispositivo (se borra al salir)\n"
    "  --stream-file ARCH   envía los bytes de ARCH en lugar de las lecturas\n"
    "  --quiet              no registra nada en la salida de errores\n"
    "  --help               muestra esta ayuda\n"
    "\n"
    "Salida: 0 correcto, 1 fallo del terminal o del archivo, 2 uso incorrecto.\n";

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

template <typename Number>
Number parseNumber(std::string_view option, std::string_view text, Number minimum) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < minimum) {
        throw UsageError("valor no válido para --" + std::string(option) + ": '" +
                         std::string(text) + "'");
    }
    return value;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("no se puede leer " + path);
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct Command {
    talveno::sim::BarOptions bar;
    std::string linkPath;
    std::string streamFile;
    bool quiet = false;
    bool help = false;
};

Command parseCommand(int argc, char** argv) {
    enum : int {
        lines = 256,
        extraLines,
        baud,
        unpaced,
        chunkSize,
        nul,
        highBytes,
        loneCrLf,
        emptyReadings,
        jumpPast1000,
        hangUpAfter,
        neverAnswer,
        link,
        streamFile,
        quiet,
        help,
    };
    static const option longOptions[] = {
        {"lines", required_argument, nullptr, lines},
        {"extra-lines", required_argument, nullptr, extraLines},
        {"baud", required_argument, nullptr, baud},
        {"unpaced", no_argument, nullptr, unpaced},
        {"chunk-size", required_argument, nullptr, chunkSize},
        {"nul", no_argument, nullptr, nul},
        {"high-bytes", no_argument, nullptr, highBytes},
        {"lone-cr-lf", no_argument, nullptr, loneCrLf},
        {"empty-readings", no_argument, nullptr, emptyReadings},
        {"jump-past-1000", no_argument, nullptr, jumpPast1000},
        {"hang-up-after", required_argument, nullptr, hangUpAfter},
        {"never-answer", no_argument, nullptr, neverAnswer},
        {"link", required_argument, nullptr, link},
        {"stream-file", required_argument, nullptr, streamFile},
        {"quiet", no_argument, nullptr, quiet},
        {"help", no_argument, nullptr, help},
        {nullptr, 0, nullptr, 0},
    };
    Command command;
    talveno::sim::BarOptions& bar = command.bar;
    opterr = 0;  // the messages are ours
    for (;;) {
        int index = 0;
        const int choice = getopt_long(argc, argv, "", longOptions, &index);
        if (choice == -1) {
            break;
        }
        const std::string_view value = optarg ? optarg : "";
        switch (choice) {
            case lines:
                bar.lines = parseNumber("lines", value, 0);
                break;
            case extraLines:
                bar.extraLines = parseNumber("extra-lines", value, 0);
                break;
            case baud:
                bar.baud = parseNumber("baud", value, 1);
                break;
            case unpaced:
                bar.baud = 0;
                break;
            case chunkSize:
                bar.chunkSize = static_cast<std::size_t>(parseNumber("chunk-size", value, 1));
                break;
            case nul:
                bar.nulBytes = true;
                break;
            case highBytes:
                bar.highBytes = true;
                break;
            case loneCrLf:
                bar.loneCrLf = true;
                break;
            case emptyReadings:
                bar.emptyReadings = true;
                break;
            case jumpPast1000:
                bar.jumpPast1000 = true;
                break;
            case hangUpAfter:
                bar.hangUpAfter = parseNumber("hang-up-after", value, 0L);
                break;
            case neverAnswer:
                bar.neverAnswer = true;
                break;
            case link:
                command.linkPath = value;
                break;
            case streamFile:
                command.streamFile = value;
                break;
            case quiet:
                command.quiet = true;
                break;
            case help:
                command.help = true;
                break;
            default: {
                // getopt_long sets optopt to the option's code when only its
                // value is missing, to 0 for an option it does not know.
                const std::string given = argv[optind - 1];
                throw UsageError(optopt != 0 ? "falta el valor de " + given
                                             : "opción no reconocida: " + given);
            }
        }
    }
    if (optind < argc) {
        throw UsageError("argumento de más: " + std::string(argv[optind]));
    }
    return command;
}

}  // namespace

int main(int argc, char** argv) {
    Command command;
    try {
        command = parseCommand(argc, argv);
    } catch (const UsageError& error) {
        std::cerr << "talveno-barsim: " << error.what() << "\nPruebe 'talveno-barsim --help'.\n";
        return exitUsage;
    }
    if (command.help) {
        std::cout << usageText << std::flush;
        return exitOk;
    }

    // The stop signals are taken by sigwait below; blocked before the bar's
    // thread exists so that it inherits the mask and never takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    try {
        if (!command.streamFile.empty()) {
            command.bar.stream = readFile(command.streamFile);
        }
        talveno::sim::SimulatedBar bar(command.bar);
        if (!command.quiet) {
            bar.setLogger([](const std::string& line) { std::cerr << line << '\n' << std::flush; });
        }
        if (!command.linkPath.empty()) {
            bar.linkTo(command.linkPath);
        }
        bar.start();
        std::cout << bar.devicePath() << '\n' << std::flush;
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        return exitOk;
    } catch (const std::exception& error) {
        std::cerr << "talveno-barsim: " << error.what() << '\n';
        return exitFailure;
    }
}
