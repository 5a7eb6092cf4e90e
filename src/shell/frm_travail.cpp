#include "frm_travail.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <climits>

#include "bar_picture.h"
#include "color_value.h"
#include "folder_tab.h"
#include "progress_bar.h"
#include "widget_translation.h"

namespace shell {
namespace {

constexpr int Margin = 12;

QFont barFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace

FrmTravail::FrmTravail(settings::Language& language, std::atomic<bool>& cancelRequested, QWidget* parent)
    : QWidget(parent, Qt::Window), m_cancelRequested(cancelRequested) {
    setObjectName(QStringLiteral("FrmTravail"));
    // The main window is hidden while this one shows: closing this one must not end the program.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("LblTravail"));
    m_label->setTextFormat(Qt::PlainText);

    m_bar = new controls::cpvProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setBarPicture(controls::makeProgressBarPicture(false));
    m_bar->setBarPictureBack(controls::makeProgressBarPicture(true));
    m_bar->setAppearance(controls::cpvProgressBar::ThreeD);
    m_bar->setBackColor(controls::systemColorValue(controls::SystemColor::ButtonFace));
    m_bar->setBackColorII(controls::systemColorValue(controls::SystemColor::ButtonFace));
    m_bar->setFont(barFont());

    m_cancel = new QPushButton(QStringLiteral("Annuler"), this);
    m_cancel->setObjectName(QStringLiteral("CmdAnnuler"));
    connect(m_cancel, &QPushButton::clicked, this, &FrmTravail::CmdAnnuler_Click);

    const int barWidth = controls::BarPictureWidth;
    m_label->setGeometry(Margin, Margin, barWidth, m_label->fontMetrics().height() + 2);
    m_bar->setGeometry(Margin, m_label->geometry().bottom() + 6, barWidth, controls::BarPictureHeight);
    const QSize button = m_cancel->sizeHint().expandedTo(QSize(90, 0));
    m_cancel->setGeometry(Margin + (barWidth - button.width()) / 2, m_bar->geometry().bottom() + 10,
                          button.width(), button.height());
    setFixedSize(barWidth + 2 * Margin, m_cancel->geometry().bottom() + Margin + 1);

    TranslateForm(this, language);
}

void FrmTravail::startRun(std::size_t entryCount, const std::string& message7) {
    m_count = entryCount;
    m_message7 = message7;
    m_running = true;
    m_bar->setValue(0);
    // An empty run has no span: the bar refuses a maximum of 0 and keeps the one it had.
    m_bar->setMax(static_cast<int>(std::min<std::size_t>(m_count, INT_MAX)));
    m_label->setText(QString::fromStdString(batch::progressLabelText(m_message7, 0, m_count)));
}

void FrmTravail::showProgress(std::size_t finished) {
    m_bar->setValue(static_cast<int>(std::min<std::size_t>(finished, INT_MAX)));
    const std::size_t underWay = m_count == 0 ? 0 : std::min(finished, m_count - 1);
    m_label->setText(QString::fromStdString(batch::progressLabelText(m_message7, underWay, m_count)));
}

void FrmTravail::endRun() {
    m_running = false;
}

void FrmTravail::CmdAnnuler_Click() {
    m_cancelRequested = true;
}

void FrmTravail::closeEvent(QCloseEvent* event) {
    // Closing the window during a run is taken as "Annuler"; the run closes the window when it has stopped.
    if (m_running) {
        CmdAnnuler_Click();
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace shell
