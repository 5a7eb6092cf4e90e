#include <QCheckBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "batch_tab.h"
#include "image_tab.h"
#include "progress_bar.h"
#include "viewer_test_support.h"

using shell::BatchTab;
using namespace viewer_test;

namespace {

QStringList entriesOf(const BatchTab& tab) {
    QStringList list;
    for (const std::string& entry : tab.entries()) {
        list << QString::fromStdString(entry);
    }
    return list;
}

QString marks(const QListWidget& list) {  // "x" for a checked entry, "-" for another
    QString marks;
    for (int i = 0; i < list.count(); ++i) {
        marks += list.item(i)->checkState() == Qt::Checked ? 'x' : '-';
    }
    return marks;
}

// Every file and folder below `root` by relative path, folders as "/".
QMap<QString, QByteArray> snapshot(const QString& root) {
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(root).relativeFilePath(path)] = it.fileInfo().isDir() ? QByteArray("/") : readFile(path);
    }
    return files;
}

QByteArray sprite(int seed) {
    return bitmapBytes(6 + seed % 5, 4 + seed % 3, 32, [seed](int x, int y) {
        return Rgba{(x * 40 + seed) & 255, y * 60, 90,
                    (x + y + seed) % 4 == 0 ? 0 : (x % 3 == 0 ? 128 : 255)};
    });
}

}  // namespace

class BatchTabTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestWindow> w;
    batch::Summary m_summary;
    int m_runs = 0;

    QString file(const QString& name) const { return w->file(name); }
    QString folder(const QString& name) const {
        QDir().mkpath(file(name));
        return file(name);
    }
    void write(const QString& name, const QByteArray& bytes) const { QVERIFY(writeFile(file(name), bytes)); }
    BatchTab* tab(int page) const {
        w->form.SelectTab(page);
        return page == 1 ? w->commands->compressionTab() : w->commands->decompressionTab();
    }
    void choose(QPushButton* button, const QString& answer) {
        w->dialogs->folderAnswers << answer;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void clickEntry(QListWidget* list, int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    // Chooses both folders of a tab, with subfolders listed and the copy box as asked.
    void prepare(BatchTab* tab, const QString& source, const QString& backup, bool copy) {
        tab->controls().includeSubfolders->setChecked(true);
        tab->controls().copyOthers->setChecked(copy);
        choose(tab->controls().chooseSource, source);
        choose(tab->controls().chooseBackup, backup);
        QVERIFY(tab->controls().start->isEnabled());
    }
    void waitForTheEnd(int runs) {
        QTRY_VERIFY_WITH_TIMEOUT(m_runs == runs && w->form.isVisible() && w->form.isEnabled(), 30000);
    }
    // What `tarvikbmp batch` writes for the same list and options.
    QMap<QString, QByteArray> engineOutput(const BatchTab& tab, const QString& backup) {
        const batch::Plan plan{.direction = tab.direction(),
                               .entries = tab.entries(),
                               .sourceFolder = tab.controls().sourceFolder->text().toStdString(),
                               .backupFolder = backup.toStdString(),
                               .copyOthers = tab.controls().copyOthers->isChecked(),
                               .jobs = 1};
        struct Quiet : batch::RunObserver {
            void onEntry(const batch::EntryResult&, batch::Progress) override {}
        } quiet;
        std::atomic<bool> cancel{false};
        batch::run(plan, quiet, cancel);
        return snapshot(backup);
    }

private slots:
    void init() {
        w = std::make_unique<TestWindow>();
        QVERIFY(w->filled);
        for (BatchTab* tab : {w->commands->compressionTab(), w->commands->decompressionTab()}) {
            connect(tab, &BatchTab::runFinished, this, [this](const batch::Summary& summary) {
                m_summary = summary;
                ++m_runs;
            });
        }
        m_runs = 0;
    }
    void cleanup() { w.reset(); }

    void choosingFoldersFillsTheListAndRemembersThem() {
        const shell::BatchPageControls& c = tab(1)->controls();
        for (const char* name : {"src/a.bmp", "src/B.bmp", "src/notes.txt", "src/sub/c.bmp", "src/z.bmp"}) {
            write(QString::fromLatin1(name), "x");
        }
        const QString src = file("src");
        choose(c.chooseSource, src + '/');
        QCOMPARE(w->dialogs->calls.last().title, QStringLiteral("Choisir le dossier des images à traiter"));
        QCOMPARE(w->dialogs->calls.last().start, QDir::homePath());  // the stored default "c:\" is not here
        QCOMPARE(c.sourceFolder->text(), src);
        QCOMPARE(entriesOf(*tab(1)), (QStringList{src + "/a.bmp", src + "/B.bmp", src + "/z.bmp"}));
        QCOMPARE(marks(*c.fileList), QStringLiteral("xxx"));
        QCOMPARE(c.fileCount->text(), QStringLiteral("3 fichier(s) trouvé(s)"));
        QCOMPARE(setting(w->home, "Folder4"), src);
        QTest::mouseClick(c.includeSubfolders, Qt::LeftButton);
        QCOMPARE(entriesOf(*tab(1)),
                 (QStringList{src + "/a.bmp", src + "/B.bmp", src + "/sub/c.bmp", src + "/z.bmp"}));
        QCOMPARE(c.fileCount->text(), QStringLiteral("4 fichier(s) trouvé(s)"));

        // The backup box takes the choice as given; a path ending with a separator (as a root does) does not
        // pass for an existing folder.
        const QString out = folder("out");
        choose(c.chooseBackup, out + '/');
        QCOMPARE(w->dialogs->calls.last().title, QStringLiteral("Choisir le dossier de sauvegarde"));
        QCOMPARE(c.backupFolder->text(), out + '/');
        QCOMPARE(setting(w->home, "Folder6"), out);
        QVERIFY(!c.start->isEnabled());
        choose(c.chooseBackup, out);
        QCOMPARE(w->dialogs->calls.last().start, out);
        QVERIFY(c.start->isEnabled());

        // A cancelled browser changes nothing and stores nothing; it started where the last choice was.
        const QByteArray ini = readFile(w->home.filePath(QStringLiteral("TarvikBMP.ini")));
        QTest::mouseClick(c.chooseSource, Qt::LeftButton);
        QCOMPARE(w->dialogs->calls.last().start, src);
        QCOMPARE(entriesOf(*tab(1)).size(), 4);
        QCOMPARE(readFile(w->home.filePath(QStringLiteral("TarvikBMP.ini"))), ini);
        QVERIFY(c.start->isEnabled());

        // Long paths make the list scroll sideways.
        write(QStringLiteral("src/") + QString(150, 'n') + QStringLiteral(".bmp"), "x");
        QTest::mouseClick(c.includeSubfolders, Qt::LeftButton);
        QTRY_VERIFY(c.fileList->horizontalScrollBar()->maximum() > 0);
    }

    void theStartButtonFollowsMarksAndBackupFolder() {
        const shell::BatchPageControls& c = tab(2)->controls();
        choose(c.chooseSource, folder("empty"));
        QCOMPARE(c.fileCount->text(), QStringLiteral("Aucun fichier trouvé"));
        QCOMPARE(setting(w->home, "Folder5"), file("empty"));
        write("two/1.bmp", "x");
        write("two/2.bmp", "x");
        choose(c.chooseSource, file("two"));
        choose(c.chooseBackup, folder("back"));
        QCOMPARE(setting(w->home, "Folder7"), file("back"));

        // On the decompression tab each click sets the button: disabled with no entry marked, enabled with
        // one marked and the backup folder present, else left as it was.
        QString states;
        for (int row : {0, 1, 1, -1, 0, 0, 1, 1}) {
            if (row < 0) {
                QVERIFY(QDir(file("back")).removeRecursively());
                continue;
            }
            clickEntry(c.fileList, row);
            states += marks(*c.fileList) + (c.start->isEnabled() ? "+ " : "- ");
        }
        QCOMPARE(states, QStringLiteral("-x+ --- -x+ xx+ -x+ --- -x- "));

        // On the compression tab clicks only toggle marks; the button follows at the next choice or listing.
        const shell::BatchPageControls& other = tab(1)->controls();
        choose(other.chooseSource, file("two"));
        choose(other.chooseBackup, folder("back2"));
        clickEntry(other.fileList, 0);
        clickEntry(other.fileList, 1);
        QCOMPARE(marks(*other.fileList), QStringLiteral("--"));
        QVERIFY(other.start->isEnabled());
    }

    void runsFromTheWindowWriteWhatTheEngineWrites() {
        write("src/sprite.bmp", sprite(1));
        write("src/flat.bmp", bitmapBytes(5, 3, 24, [](int x, int y) { return Rgba{x * 9, y, 7}; }));
        write("src/many.bmp", bitmapWithCombinations(300));
        write("src/packed.bmp", compressed(sprite(2)));
        write("src/junk.bmp", "XY not an image");
        write("src/sub/deep/icon.bmp", sprite(3));
        BatchTab* compression = tab(1);
        prepare(compression, file("src"), folder("out"), true);
        QCOMPARE(compression->entries().size(), std::size_t{6});

        QTest::mouseClick(compression->controls().start, Qt::LeftButton);
        // Until the event loop runs, the window shows the run's starting state.
        QVERIFY(!w->form.isVisible() && !w->form.isEnabled());
        shell::FrmTravail* progress = compression->progressWindow();
        QVERIFY(progress != nullptr && progress->isVisible());
        QCOMPARE(progress->windowTitle(), QStringLiteral("Compression en cours"));
        QCOMPARE(progress->ProgressBar()->max(), 6);
        QCOMPARE(progress->ProgressBar()->value(), 0);
        QCOMPARE(progress->LblTravail()->text(), QStringLiteral("Image en cours : 0/5"));
        QCOMPARE(progress->CmdAnnuler()->text(), QStringLiteral("Annuler"));
        waitForTheEnd(1);
        QTRY_VERIFY(compression->progressWindow() == nullptr);
        const QMap<QString, QByteArray> written = snapshot(file("out"));
        QCOMPARE(written, engineOutput(*compression, folder("engine")));
        QVERIFY(written.contains("sub/deep/icon.bmp"));  // which file gets which outcome is the engine's
        // Files were skipped: one report, owned by the main window, with counts by reason and each file.
        QMessageBox* report = nullptr;
        QTRY_VERIFY((report = w->form.findChild<QMessageBox*>(QStringLiteral("BatchReport"))) != nullptr);
        QCOMPARE(report->windowTitle(), QStringLiteral("Bilan du traitement"));
        QCOMPARE(report->text(),
                 QStringLiteral("3 fichier(s) converti(s), 1 copié(s), 2 ignoré(s), 0 en échec.\n"
                                "  type de fichier inconnu : 1\n  trop de couleurs : 1"));
        for (const QString& part :
             {file("src/many.bmp") + " : trop de couleurs (300", file("src/junk.bmp") + " : type de"}) {
            QVERIFY2(report->detailedText().contains(part), qPrintable(report->detailedText()));
        }
        report->accept();
        QTRY_VERIFY(w->form.findChild<QMessageBox*>(QStringLiteral("BatchReport")) == nullptr);

        // The runs work on images of their own: the image tab still shows nothing.
        QCOMPARE(w->form.imagePage().LblTailleFichier->text(), QStringLiteral("--"));
        QCOMPARE(w->commands->imageTab()->model().Width, 0);

        BatchTab* decompression = tab(2);
        prepare(decompression, file("out"), folder("bitmaps"), false);
        QTest::mouseClick(decompression->controls().start, Qt::LeftButton);
        waitForTheEnd(2);
        QCOMPARE(m_summary.converted, std::size_t{4});  // three written, one copied
        QCOMPARE(snapshot(file("bitmaps")), engineOutput(*decompression, folder("engine2")));
        // Everything converted or copied: the run ends without a word.
        QTest::qWait(50);
        QVERIFY(w->form.findChild<QMessageBox*>(QStringLiteral("BatchReport")) == nullptr);
    }

    // A folder that cannot be listed and a file that cannot be written count as failures in the report, and a
    // backup folder chosen inside the listed tree leaves the list.
    void failuresAreReportedAndTheBackupFolderIsLeftOut() {
        write("src/a.bmp", sprite(1));
        write("src/b.bmp", sprite(2));
        write("src/out/previous.bmp", sprite(3));
        write("src/out/b.bmp/placeholder", "a folder where the target should go");
        const std::string level(200, 'd');
        int into = ::open(file("src").toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
        for (int depth = 0; depth < 24 && into >= 0; ++depth) {
            QCOMPARE(::mkdirat(into, level.c_str(), 0755), 0);
            const int next = ::openat(into, level.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(into);
            into = next;
        }
        QVERIFY(into >= 0);
        ::close(into);
        BatchTab* compression = tab(1);
        compression->controls().includeSubfolders->setChecked(true);
        choose(compression->controls().chooseSource, file("src"));
        QCOMPARE(entriesOf(*compression),
                 (QStringList{file("src/a.bmp"), file("src/b.bmp"), file("src/out/previous.bmp")}));
        choose(compression->controls().chooseBackup, file("src/out"));
        QCOMPARE(entriesOf(*compression), (QStringList{file("src/a.bmp"), file("src/b.bmp")}));
        QTest::mouseClick(compression->controls().start, Qt::LeftButton);
        waitForTheEnd(1);
        QMessageBox* report = nullptr;
        QTRY_VERIFY((report = w->form.findChild<QMessageBox*>(QStringLiteral("BatchReport"))) != nullptr);
        QCOMPARE(report->icon(), QMessageBox::Warning);
        QCOMPARE(report->text(),
                 QStringLiteral("1 fichier(s) converti(s), 0 copié(s), 0 ignoré(s), 2 en échec.\n"
                                "  écriture impossible : 1\n  dossier illisible : 1"));
        for (const QString& part : {file("src/") + QString::fromStdString(level),
                                    file("src/b.bmp") + QStringLiteral(" : écriture impossible (")}) {
            QVERIFY2(report->detailedText().contains(part), qPrintable(report->detailedText()));
        }
        report->accept();
        QVERIFY(QFile::exists(file("src/out/a.bmp")));
        QVERIFY(!QFile::exists(file("src/out/out")));
        QCOMPARE(std::system(("rm -rf '" + file("src").toStdString() + "/" + level + "'").c_str()), 0);
    }

    void cancellingReturnsToTheMainWindow() {
        constexpr int Count = 400;
        for (int i = 0; i < Count; ++i) {
            write(QStringLiteral("many/%1.bmp").arg(i, 3, 10, QLatin1Char('0')), sprite(i));
        }
        BatchTab* compression = tab(1);
        prepare(compression, file("many"), folder("out"), false);
        QTest::mouseClick(compression->controls().start, Qt::LeftButton);
        QTest::mouseClick(compression->progressWindow()->CmdAnnuler(), Qt::LeftButton);
        waitForTheEnd(1);
        QVERIFY(m_summary.cancelled);
        QVERIFY(m_summary.processed < std::size_t(Count));
        QCOMPARE(QDir(file("out")).entryList(QDir::Files).size(), qsizetype(m_summary.converted));

        // Closing the progress window is a cancel too; the window stays until the run has stopped.
        QTest::mouseClick(compression->controls().start, Qt::LeftButton);
        QVERIFY(!compression->progressWindow()->close());
        QVERIFY(compression->progressWindow()->isVisible());
        waitForTheEnd(2);
        QVERIFY(m_summary.cancelled);
    }
};

QTEST_MAIN(BatchTabTest)
#include "batch_tab_test.moc"
