#include <QCheckBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <memory>

#include "batch_tab.h"
#include "frm_travail.h"
#include "image_tab.h"
#include "main_form.h"
#include "page_commands.h"
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

bool allMarked(const QListWidget& list) {
    for (int i = 0; i < list.count(); ++i) {
        if (list.item(i)->checkState() != Qt::Checked) {
            return false;
        }
    }
    return true;
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

QByteArray compressed(const QByteArray& bitmap) {
    imaging::ImageModel model;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(bitmap.constData());
    if (!imaging::decodeBitmap({bytes, static_cast<std::size_t>(bitmap.size())}, model)) {
        return {};
    }
    const auto rl = imaging::encodeCompressed(model);
    return rl ? QByteArray(reinterpret_cast<const char*>(rl->data()), static_cast<qsizetype>(rl->size()))
              : QByteArray();
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

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QTemporaryDir> m_files;
    std::unique_ptr<shell::MainForm> m_form;
    std::shared_ptr<FakeFileDialogs> m_dialogs;
    shell::PageCommands* m_commands = nullptr;

    QString file(const QString& name) const { return m_files->filePath(name); }
    QString folder(const QString& name) const {
        QDir().mkpath(file(name));
        return file(name);
    }
    void write(const QString& name, const QByteArray& bytes) const { QVERIFY(writeFile(file(name), bytes)); }
    void choose(QPushButton* button, const QString& answer) {
        m_dialogs->folderAnswers << answer;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void clickEntry(QListWidget* list, int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    QByteArray settingsFile() const { return readFile(m_home->filePath(QStringLiteral("TarvikBMP.ini"))); }
    // Chooses both folders of a tab, with subfolders listed and the copy box as asked.
    void prepare(BatchTab* tab, const QString& source, const QString& backup, bool copy) {
        tab->controls().includeSubfolders->setChecked(true);
        tab->controls().copyOthers->setChecked(copy);
        choose(tab->controls().chooseSource, source);
        choose(tab->controls().chooseBackup, backup);
        QVERIFY(tab->controls().start->isEnabled());
    }
    batch::Summary runFromWindow(BatchTab* tab) {
        batch::Summary summary;
        bool finished = false;
        connect(tab, &BatchTab::runFinished, this, [&](const batch::Summary& s) {
            summary = s;
            finished = true;
        });
        QTest::mouseClick(tab->controls().start, Qt::LeftButton);
        [&] { QTRY_VERIFY_WITH_TIMEOUT(finished, 30000); }();
        disconnect(tab, &BatchTab::runFinished, this, nullptr);
        return summary;
    }
    QMap<QString, QByteArray> engineOutput(const BatchTab& tab, const QString& backup) {
        batch::Plan plan;
        plan.direction = tab.direction();
        plan.entries = tab.entries();
        plan.sourceFolder = tab.controls().sourceFolder->text().toStdString();
        plan.backupFolder = backup.toStdString();
        plan.copyOthers = tab.controls().copyOthers->isChecked();
        plan.jobs = 1;
        struct Quiet : batch::RunObserver {
            void onEntry(const batch::EntryResult&, batch::Progress) override {}
        } quiet;
        std::atomic<bool> cancel{false};
        batch::run(plan, quiet, cancel);
        return snapshot(backup);
    }

private slots:
    void init() {
        m_home = std::make_unique<QTemporaryDir>();
        m_files = std::make_unique<QTemporaryDir>();
        QVERIFY(fillProgramFolder(*m_home));
        m_form = std::make_unique<shell::MainForm>(m_home->path());
        m_dialogs = std::make_shared<FakeFileDialogs>();
        m_commands = shell::PageCommands::attach(*m_form, m_dialogs);
        m_form->show();
    }
    void cleanup() {
        m_form.reset();
        m_files.reset();
        m_home.reset();
    }

    void choosingFoldersFillsTheListAndRemembersThem() {
        m_form->SelectTab(1);
        BatchTab* tab = m_commands->compressionTab();
        const shell::BatchPageControls& c = tab->controls();
        for (const char* name : {"src/a.bmp", "src/B.bmp", "src/notes.txt", "src/sub/c.bmp", "src/z.bmp"}) {
            write(QString::fromLatin1(name), "x");
        }
        const QString src = file(QStringLiteral("src"));
        choose(c.chooseSource, src + QLatin1Char('/'));

        QCOMPARE(m_dialogs->calls.last().title, QStringLiteral("Choisir le dossier des images à traiter"));
        QCOMPARE(m_dialogs->calls.last().start, QDir::homePath());  // the stored default "c:\" is not here
        QCOMPARE(c.sourceFolder->text(), src);
        QCOMPARE(entriesOf(*tab), (QStringList{src + "/a.bmp", src + "/B.bmp", src + "/z.bmp"}));
        QVERIFY(allMarked(*c.fileList));
        QCOMPARE(c.fileCount->text(), QStringLiteral("3 fichier(s) trouvé(s)"));
        QCOMPARE(setting(*m_home, "Folder4"), src);
        QVERIFY(!c.start->isEnabled());

        QTest::mouseClick(c.includeSubfolders, Qt::LeftButton);
        QCOMPARE(entriesOf(*tab),
                 (QStringList{src + "/a.bmp", src + "/B.bmp", src + "/sub/c.bmp", src + "/z.bmp"}));
        QCOMPARE(c.fileCount->text(), QStringLiteral("4 fichier(s) trouvé(s)"));

        // The backup box takes the choice as given; a path ending with a separator (as a root does) does not
        // pass for an existing folder.
        const QString out = folder(QStringLiteral("out"));
        choose(c.chooseBackup, out + QLatin1Char('/'));
        QCOMPARE(m_dialogs->calls.last().title, QStringLiteral("Choisir le dossier de sauvegarde"));
        QCOMPARE(c.backupFolder->text(), out + QLatin1Char('/'));
        QCOMPARE(setting(*m_home, "Folder6"), out);
        QVERIFY(!c.start->isEnabled());
        choose(c.chooseBackup, out);
        QCOMPARE(m_dialogs->calls.last().start, out);
        QVERIFY(c.start->isEnabled());

        // A cancelled browser changes nothing and stores nothing; it started where the last choice was.
        const QByteArray ini = settingsFile();
        QTest::mouseClick(c.chooseSource, Qt::LeftButton);
        QCOMPARE(m_dialogs->calls.last().start, src);
        QCOMPARE(entriesOf(*tab).size(), 4);
        QCOMPARE(settingsFile(), ini);
        QVERIFY(c.start->isEnabled());

        // Long paths make the list scroll sideways.
        write(QStringLiteral("src/") + QString(150, QLatin1Char('n')) + QStringLiteral(".bmp"), "x");
        QTest::mouseClick(c.includeSubfolders, Qt::LeftButton);
        QTRY_VERIFY(c.fileList->horizontalScrollBar()->maximum() > 0);
    }

    void theStartButtonFollowsMarksAndBackupFolder() {
        m_form->SelectTab(2);
        BatchTab* tab = m_commands->decompressionTab();
        const shell::BatchPageControls& c = tab->controls();
        choose(c.chooseSource, folder(QStringLiteral("empty")));
        QCOMPARE(c.fileCount->text(), QStringLiteral("Aucun fichier trouvé"));
        QCOMPARE(setting(*m_home, "Folder5"), file(QStringLiteral("empty")));

        write(QStringLiteral("two/1.bmp"), "x");
        write(QStringLiteral("two/2.bmp"), "x");
        choose(c.chooseSource, file(QStringLiteral("two")));
        QVERIFY(!c.start->isEnabled());  // no backup folder yet
        choose(c.chooseBackup, folder(QStringLiteral("back")));
        QCOMPARE(setting(*m_home, "Folder7"), file(QStringLiteral("back")));
        QVERIFY(c.start->isEnabled());

        clickEntry(c.fileList, 0);
        QCOMPARE(c.fileList->item(0)->checkState(), Qt::Unchecked);
        QVERIFY(c.start->isEnabled());
        clickEntry(c.fileList, 1);
        QVERIFY(!c.start->isEnabled());
        clickEntry(c.fileList, 1);
        QVERIFY(c.start->isEnabled());
        // Without its backup folder the button keeps whatever state it had.
        QVERIFY(QDir(file(QStringLiteral("back"))).removeRecursively());
        clickEntry(c.fileList, 1);
        QVERIFY(!c.start->isEnabled());
        clickEntry(c.fileList, 1);
        QVERIFY(!c.start->isEnabled());

        // On the compression tab clicks only toggle marks; the button follows at the next toggle or choice.
        m_form->SelectTab(1);
        BatchTab* other = m_commands->compressionTab();
        choose(other->controls().chooseSource, file(QStringLiteral("two")));
        choose(other->controls().chooseBackup, folder(QStringLiteral("back2")));
        clickEntry(other->controls().fileList, 0);
        clickEntry(other->controls().fileList, 1);
        QVERIFY(other->controls().start->isEnabled());
        other->controls().fileList->item(0)->setCheckState(Qt::Unchecked);
        QTest::mouseClick(other->controls().includeSubfolders, Qt::LeftButton);  // lists afresh, all marked
        QVERIFY(other->controls().start->isEnabled());
    }

    void runsFromTheWindowWriteWhatTheEngineWrites() {
        write(QStringLiteral("src/sprite.bmp"), sprite(1));
        write(QStringLiteral("src/flat.bmp"), bitmapBytes(5, 3, 24, [](int x, int y) {
                  return Rgba{x * 9, y, 7};
              }));
        write(QStringLiteral("src/many.bmp"), bitmapWithCombinations(300));
        write(QStringLiteral("src/packed.bmp"), compressed(sprite(2)));
        write(QStringLiteral("src/junk.bmp"), "XY not an image");
        write(QStringLiteral("src/sub/deep/icon.bmp"), sprite(3));
        m_form->SelectTab(1);
        BatchTab* tab = m_commands->compressionTab();
        prepare(tab, file(QStringLiteral("src")), folder(QStringLiteral("out")), true);
        QCOMPARE(tab->entries().size(), std::size_t{6});

        QTest::mouseClick(tab->controls().start, Qt::LeftButton);
        // Until the event loop runs, the window shows the run's starting state.
        QVERIFY(!m_form->isVisible() && !m_form->isEnabled());
        shell::FrmTravail* progress = tab->progressWindow();
        QVERIFY(progress != nullptr && progress->isVisible());
        QCOMPARE(progress->windowTitle(), QStringLiteral("Compression en cours"));
        QCOMPARE(progress->ProgressBar()->max(), 6);
        QCOMPARE(progress->ProgressBar()->value(), 0);
        QCOMPARE(progress->LblTravail()->text(), QStringLiteral("Image en cours : 0/5"));
        QCOMPARE(progress->LblTravail()->toolTip(),
                 QStringLiteral("Position de l'image traitée dans la liste"));
        QCOMPARE(progress->CmdAnnuler()->text(), QStringLiteral("Annuler"));
        QTRY_VERIFY_WITH_TIMEOUT(m_form->isVisible() && m_form->isEnabled(), 30000);
        QTRY_VERIFY(tab->progressWindow() == nullptr);

        const QMap<QString, QByteArray> written = snapshot(file(QStringLiteral("out")));
        QCOMPARE(written, engineOutput(*tab, folder(QStringLiteral("engine"))));
        QVERIFY(written.contains(QStringLiteral("sub/deep/icon.bmp")) &&
                written.contains(QStringLiteral("packed.bmp")));
        QVERIFY(!written.contains(QStringLiteral("many.bmp")) &&
                !written.contains(QStringLiteral("junk.bmp")));
        // The runs work on images of their own: the image tab still shows nothing.
        QCOMPARE(m_form->imagePage().LblTailleFichier->text(), QStringLiteral("--"));
        QCOMPARE(m_commands->imageTab()->model().Width, 0);

        m_form->SelectTab(2);
        BatchTab* back = m_commands->decompressionTab();
        prepare(back, file(QStringLiteral("out")), folder(QStringLiteral("bitmaps")), false);
        const batch::Summary summary = runFromWindow(back);
        QCOMPARE(summary.converted, std::size_t{4});  // three written, one copied
        QCOMPARE(snapshot(file(QStringLiteral("bitmaps"))),
                 engineOutput(*back, folder(QStringLiteral("engine2"))));
    }

    void cancellingReturnsToTheMainWindow() {
        constexpr int Count = 400;
        for (int i = 0; i < Count; ++i) {
            write(QStringLiteral("many/%1.bmp").arg(i, 3, 10, QLatin1Char('0')), sprite(i));
        }
        m_form->SelectTab(1);
        BatchTab* tab = m_commands->compressionTab();
        prepare(tab, file(QStringLiteral("many")), folder(QStringLiteral("out")), false);

        batch::Summary summary;
        connect(tab, &BatchTab::runFinished, this, [&](const batch::Summary& s) { summary = s; });
        QTest::mouseClick(tab->controls().start, Qt::LeftButton);
        QTest::mouseClick(tab->progressWindow()->CmdAnnuler(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_form->isVisible() && m_form->isEnabled(), 30000);
        QVERIFY(summary.cancelled);
        QVERIFY(summary.processed < static_cast<std::size_t>(Count));
        QCOMPARE(QDir(file(QStringLiteral("out"))).entryList(QDir::Files).size(),
                 static_cast<qsizetype>(summary.converted));

        // Closing the progress window is a cancel too; the window stays until the run has stopped.
        QTest::mouseClick(tab->controls().start, Qt::LeftButton);
        QVERIFY(!tab->progressWindow()->close());
        QVERIFY(tab->progressWindow()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(m_form->isVisible() && m_form->isEnabled(), 30000);
        QVERIFY(summary.cancelled);
    }
};

QTEST_MAIN(BatchTabTest)
#include "batch_tab_test.moc"
