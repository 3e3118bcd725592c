#include "mainwindow/CommandLine.h"

namespace vnt {

DesktopCommandLine ParseDesktopCommandLine(const QStringList& arguments) {
    DesktopCommandLine line;
    if (arguments.contains(QStringLiteral("-h")) || arguments.contains(QStringLiteral("--help")))
        line.action = DesktopCommandLine::Action::ShowHelp;
    else if (arguments.contains(QStringLiteral("--version")))
        line.action = DesktopCommandLine::Action::ShowVersion;
    else if (!arguments.join(u' ').isEmpty())
        line.action = DesktopCommandLine::Action::UnattendedBackup;
    line.shutDown = line.action == DesktopCommandLine::Action::UnattendedBackup &&
                    arguments.contains(QStringLiteral("shutdown"), Qt::CaseInsensitive);
    return line;
}

QString DesktopHelpText() {
    return QStringLiteral(
        "Usage: vantoro\n"
        "       vantoro WORD... [shutdown]\n"
        "       vantoro -h | --help | --version\n"
        "\n"
        "Without arguments, opens the window.\n"
        "With any other arguments, runs \"Back up new and modified\" unattended on the setup\n"
        "kept for the next run, without asking for confirmation, and leaves the window open.\n"
        "An argument that is the word shutdown (in any letter case) shuts the computer down\n"
        "after the backup; a notice offers to cancel it for a minute first. The word inside\n"
        "a longer argument, such as --no-shutdown, does not count.\n"
        "\n"
        "  -h, --help   show this help and exit\n"
        "  --version    show the version and exit\n"
        "\n"
        "For backups without a desktop, from scripts and timers, see vantoro-cli --help.\n");
}

QString DesktopVersionText() {
    return QStringLiteral("vantoro " VANTORO_VERSION "\n");
}

} // namespace vnt
