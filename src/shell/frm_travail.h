#pragma once

// FrmTravail, the small window a batch run shows while the main window is hidden: the position in the list,
// a progress bar, and "Annuler".

#include <QWidget>

#include <atomic>
#include <cstddef>
#include <string>

#include "language.h"

class QLabel;
class QPushButton;

namespace controls {
class cpvProgressBar;
}

namespace shell {

class FrmTravail : public QWidget {
    Q_OBJECT
public:
    // Builds the window and translates it with the active language. "Annuler" and closing the window set
    // `cancelRequested`; the window itself stays until the run that owns it closes it.
    FrmTravail(settings::Language& language, std::atomic<bool>& cancelRequested, QWidget* parent = nullptr);

    QLabel* LblTravail() const { return m_label; }
    controls::cpvProgressBar* ProgressBar() const { return m_bar; }
    QPushButton* CmdAnnuler() const { return m_cancel; }

    // Max = number of entries, Value 0, and the label at the first position.
    void startRun(std::size_t entryCount, const std::string& message7);
    // `finished` entries are done: the bar's Value, and the label at the entry under way (the last one once
    // all are done).
    void showProgress(std::size_t finished);
    // From now on the window may be closed.
    void endRun();

public slots:
    void CmdAnnuler_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::atomic<bool>& m_cancelRequested;
    QLabel* m_label = nullptr;
    controls::cpvProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    std::size_t m_count = 0;
    std::string m_message7;
    bool m_running = false;
};

}  // namespace shell
