// How long the subfolder selection window takes to read a source with many subfolders.
//   build/bin/selection_bench [SUBFOLDERS]      (default 1000, each with 5 files; offscreen)
#include "platform/QtDialogs.h"
#include "setups/frmSelectSubfolders.h"

#include <cstdio>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir;
    for (int i = 0; i < count; ++i) {
        const QString folder =
            dir.path() + QStringLiteral("/folder%1/inner").arg(i, 4, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        for (int f = 0; f < 5; ++f) {
            QFile file(folder + QStringLiteral("/file%1.txt").arg(f));
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray(1000, 'x'));
        }
    }
    vnt::QtDialogs dialogs;
    vnt::frmSelectSubfolders window(dialogs, QString());
    window.strTopFolder = dir.path();
    window.strCaption = QStringLiteral("Select subfolders");
    window.resize(900, 500);
    QElapsedTimer timer;
    timer.start();
    window.Form_Activate();
    std::printf("%d subfolders read and shown in %lld ms (%zu rows, %zu check boxes)\n", count,
                static_cast<long long>(timer.elapsed()), window.Rows().size(),
                window.chkSubfolder.size());
    return 0;
}
