#include "core/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

void answerCommandLine(int argc, char *argv[])
{
    if (argc <= 1)
        return;
    QCoreApplication terminal(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(SHASHIN_VERSION));
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("写真: photograph the creatures of the valley."));
    options.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Not addHelpOption(): its --help-all would list Qt's options, which only QApplication knows.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and exits."));
    options.addOption(help);
    const QCommandLineOption version = options.addVersionOption();
    options.parse(QCoreApplication::arguments());
    if (options.isSet(help))
        options.showHelp();
    if (options.isSet(version))
        options.showVersion();
}
