// The window's controls, placed as the design draws them: positions and sizes in twips, French built-in
// texts.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include <algorithm>

#include "color_value.h"
#include "design_fonts.h"
#include "design_widgets.h"
#include "main_form.h"
#include "picture_box.h"
#include "program_icon.h"
#include "twips.h"
#include "window_drag.h"

namespace shell {
namespace {

constexpr std::uint32_t BackgroundColor = 0x404040;
constexpr std::uint32_t InactiveTabColor = 0x606060;
constexpr std::uint32_t FirstTabColor = 0x505050;
constexpr std::uint32_t ValueTextColor = 0xFFFF80;  // light cyan
constexpr std::uint32_t NumberBoxText = 0xFF0000;   // blue
constexpr std::uint32_t FileCountColor = 0x0080FF;  // orange
constexpr std::uint32_t LinkColor = 0xFF8080;       // light blue
constexpr std::uint32_t White = 0xFFFFFF;
// Pages sit 240 twips above the window's top edge; in front at left 0, behind at -5000.
constexpr int PageTopTwips = -240;

QFont normalFont() {
    return tahomaFont(8.25, true);
}
QFont titleFont() {
    return tahomaFont(9, true);
}
QFont largeFont() {
    return tahomaFont(9.75, true);
}

// Every control carries its own font, as each control of the design does; nothing is inherited from its
// container.
template <class T>
T* place(QWidget* parent, const char* name, const QRect& geometryTwips, const QFont& font, int index = -1) {
    auto* widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    if (index >= 0) {
        widget->setProperty("index", index);
    }
    widget->setGeometry(
        twipsRect(geometryTwips.x(), geometryTwips.y(), geometryTwips.width(), geometryTwips.height()));
    widget->setFont(font);
    return widget;
}

// Left-aligned labels remember the width the design gave them; see MainForm::fitCaptions.
constexpr const char* DesignWidthProperty = "designWidth";
constexpr const char* DesignFontProperty = "designFont";

QRect twips(int left, int top, int width, int height) {
    return QRect(left, top, width, height);
}

void setTextColor(QWidget* widget, std::uint32_t color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, controls::colorForPainting(color));
    palette.setColor(QPalette::Inactive, QPalette::WindowText, controls::colorForPainting(color));
    widget->setPalette(palette);
}

QLabel* label(QWidget* parent, const char* name, const QRect& geometryTwips, const QString& text,
              const QFont& font = normalFont(), int index = -1) {
    auto* widget = place<QLabel>(parent, name, geometryTwips, font, index);
    widget->setText(text);
    widget->setTextFormat(Qt::PlainText);
    widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    widget->setProperty(DesignWidthProperty, widget->width());
    return widget;
}

// A frame's title is a label laid over the frame's top edge; it is opaque so that it hides the line beneath
// it.
QLabel* frameTitle(QWidget* frame, const char* name, const QRect& geometryTwips, const QString& text) {
    QLabel* widget = label(frame, name, geometryTwips, text, titleFont());
    widget->setAutoFillBackground(true);
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QRect& geometryTwips, const QString& text) {
    auto* widget = place<QPushButton>(parent, name, geometryTwips, normalFont());
    widget->setText(text);
    widget->setAutoDefault(false);
    return widget;
}

PictureBox* pictureBox(QWidget* parent, const char* name, const QRect& geometryTwips, std::uint32_t backColor,
                       int index = -1) {
    auto* widget = place<PictureBox>(parent, name, geometryTwips, normalFont(), index);
    widget->setBackColor(controls::colorForPainting(backColor));
    widget->setForeColor(controls::colorForPainting(White));
    return widget;
}

EtchedFrame* frame(QWidget* parent, const char* name, const QRect& geometryTwips, const QFont& font,
                   const QString& title = {}) {
    auto* widget = place<EtchedFrame>(parent, name, geometryTwips, font);
    widget->setTitle(title);
    return widget;
}

}  // namespace

void MainForm::buildWindow() {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(WindowTitle);
    setWindowIcon(viewer::programIcon());
    setFixedSize(twipsToPixels(4380), twipsToPixels(6600));
    setFont(normalFont());

    QPalette pal = palette();
    pal.setColor(QPalette::Window, controls::colorForPainting(BackgroundColor));
    pal.setColor(QPalette::WindowText, controls::colorForPainting(White));
    pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    setPalette(pal);
    setAutoFillBackground(true);

    m_dragger = new WindowDragger(this);

    const std::array<const char*, PageCount> pageRoles{"single-image page", "batch compression page",
                                                       "batch decompression page"};
    for (int k = 0; k < PageCount; ++k) {
        const int left = k == 0 ? 120 : 4560;
        m_pages[k] = pictureBox(this, "PictMenu", twips(left, PageTopTwips, 3975, 6255), BackgroundColor, k);
        m_pages[k]->setAccessibleName(QString::fromLatin1(pageRoles[k]));
        m_dragger->watch(m_pages[k]);
    }
    buildImagePage();
    buildBatchPage(1);
    buildBatchPage(2);

    const std::array<QRect, PageCount> tabGeometry{twips(4040, 120, 330, 1215), twips(4040, 1440, 330, 1575),
                                                   twips(4040, 3120, 330, 1815)};
    const std::array<QString, PageCount> tabTips{QStringLiteral("Onglet Général"),
                                                 QStringLiteral("Onglet de compression par lot"),
                                                 QStringLiteral("Onglet de décompression par lot")};
    for (int k = 0; k < PageCount; ++k) {
        PictureBox* tab =
            pictureBox(this, "PictBp", tabGeometry[k], k == 0 ? FirstTabColor : InactiveTabColor, k);
        tab->setFont(arialFont(9.75, true));
        tab->setForeColor(controls::colorForPainting(k == 0 ? White : 0));
        tab->setToolTip(tabTips[k]);
        tab->setCursor(Qt::PointingHandCursor);
        connect(tab, &PictureBox::mouseReleased, this,
                [this, k](Qt::MouseButton, const QPoint&) { SelectTab(k); });
        m_tabButtons[k] = tab;
    }

    m_line = new LineWidget(this);
    m_line->setObjectName(QStringLiteral("Line1"));
    m_line->setGeometry(twipsToPixels(4000), 0, 1, twipsToPixels(6600));

    m_versionStrip = pictureBox(this, "Pictversion", twips(4080, 5160, 200, 1455), InactiveTabColor);
    m_versionStrip->setFont(arialFont(8.25, false));

    PictureBox* flagTemplate =
        pictureBox(this, "PictLangue", twips(-440, 6120, 390, 255), BackgroundColor, 0);
    flagTemplate->setToolTip(QStringLiteral("Cliquer sur le drapeau pour sélectionner le language"));
    flagTemplate->setCursor(Qt::PointingHandCursor);
    m_flags.push_back(flagTemplate);

    m_link = place<LinkLabel>(this, "Lblurl", twips(960, 6000, 2085, 240), largeFont());
    m_link->setText(QUrl(WebAddress).host());
    m_link->setTextFormat(Qt::PlainText);
    m_link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColor(m_link, LinkColor);
    m_link->setCursor(Qt::PointingHandCursor);
    connect(m_link, &LinkLabel::clicked, this, &MainForm::openWebAddress);
}

PictureBox* MainForm::createFlag(int number, const QString& picturePath) {
    // A new element copies the template's look; only its place and picture are its own.
    const PictureBox* source = m_flags.front();
    const settings::FlagPlacement place = settings::flagPlacement(number, false);
    PictureBox* flag = pictureBox(this, "PictLangue", twips(place.left, place.top, place.width, place.height),
                                  BackgroundColor, number);
    flag->setToolTip(source->toolTip());
    flag->setCursor(source->cursor());
    if (!picturePath.isEmpty()) {
        flag->setPicture(QPixmap(picturePath));
    }
    flag->show();
    return flag;
}

void MainForm::fitCaptions() {
    // The design's boxes were measured with Tahoma itself; a substitute font may run a few pixels
    // wider, so a left-aligned caption may widen into the free space beside it rather than lose its last
    // letters, and where even that is too little (a check box right after it, a long translation) its font
    // shrinks a little.
    constexpr qreal SmallestScale = 0.8;
    constexpr qreal Step = 0.25;
    for (QLabel* caption : findChildren<QLabel*>()) {
        const QVariant designWidth = caption->property(DesignWidthProperty);
        QWidget* container = caption->parentWidget();
        if (!designWidth.isValid() || !(caption->alignment() & Qt::AlignLeft) || container == nullptr) {
            continue;
        }
        int room = container->width() - caption->x() - 2;
        for (const QObject* child : container->children()) {
            const auto* sibling = qobject_cast<const QWidget*>(child);
            if (sibling != nullptr && sibling != caption && !sibling->isHidden() && sibling->x() > caption->x() &&
                sibling->y() < caption->geometry().bottom() && sibling->geometry().bottom() > caption->y()) {
                room = std::min(room, sibling->x() - caption->x() - 1);
            }
        }
        room = std::max(room, designWidth.toInt());

        QVariant designFont = caption->property(DesignFontProperty);
        if (!designFont.isValid()) {
            designFont = caption->font();
            caption->setProperty(DesignFontProperty, designFont);
        }
        QFont font = designFont.value<QFont>();
        const auto neededWith = [&](const QFont& candidate) {
            int needed = 0;
            const QFontMetrics metrics(candidate);
            for (const QString& line : caption->text().split(QLatin1Char('\n'))) {
                needed = std::max(needed, metrics.horizontalAdvance(line) + 1);
            }
            return needed;
        };
        int needed = neededWith(font);
        const qreal smallest = font.pointSizeF() * SmallestScale;
        while (needed > room && font.pointSizeF() - Step >= smallest) {
            font.setPointSizeF(font.pointSizeF() - Step);
            needed = neededWith(font);
        }
        caption->setFont(font);
        caption->resize(std::max(designWidth.toInt(), std::min(needed, room)), caption->height());
    }
}

void MainForm::buildImagePage() {
    QWidget* page = m_pages[0];
    ImagePageControls& c = m_image;
    c.window = this;
    c.PictMenu = m_pages[0];
    c.LblTitre = label(page, "LblTitre", twips(360, 360, 3015, 255), QStringLiteral("Chemin fichier BMP"),
                       titleFont(), 0);
    c.TextCheminBMP = place<QLineEdit>(page, "TextCheminBMP", twips(360, 600, 3015, 285), normalFont());
    c.CmdOuvrirBMP = button(page, "CmdOuvrirBMP", twips(3400, 620, 255, 255), QStringLiteral("..."));
    c.CmdSaveBMP = button(page, "CmdSaveBMP", twips(360, 960, 1335, 255), QStringLiteral("Sauver (BMP)"));
    c.CmdCompressRL =
        button(page, "CmdCompressRL", twips(2040, 960, 1335, 255), QStringLiteral("Compression"));
    c.CmdSaveBMP->setEnabled(false);
    c.CmdCompressRL->setEnabled(false);

    c.Frame1 = frame(page, "Frame1", twips(360, 1440, 3375, 1215), titleFont());
    c.LbLTitreInfoBMP = frameTitle(c.Frame1, "LbLTitreInfoBMP", twips(120, 0, 1695, 210),
                                   QStringLiteral(" Information BMP "));
    const std::array<QString, 4> infoTitles{
        QStringLiteral("Taille du Fichier :"), QStringLiteral("Largeur Image :"),
        QStringLiteral("Hauteur Image :"), QStringLiteral("Définition couleur :")};
    const std::array<const char*, 4> valueNames{"LblTailleFichier", "LbLargeurImg", "LbHauteurImg",
                                                "LblColorDef"};
    const std::array<QLabel**, 4> valueSlots{&c.LblTailleFichier, &c.LbLargeurImg, &c.LbHauteurImg,
                                             &c.LblColorDef};
    int titlesRight = 0;
    for (int i = 0; i < 4; ++i) {
        QLabel* title = label(c.Frame1, "LblInfoBmp", twips(120, 240 + 240 * i, 1695, 195), infoTitles[i],
                              normalFont(), i);
        title->adjustSize();
        title->resize(title->width(), twipsToPixels(195));
        title->setProperty(DesignWidthProperty, title->width());
        titlesRight = std::max(titlesRight, title->geometry().right());
        c.LblInfoBmp[i] = title;
    }
    // The values end where the design's "--" ends (it starts at 3135 twips) and grow leftwards, so sizes such
    // as "1234567 Octet(s)" stay inside the frame.
    const int valueRight =
        twipsToPixels(3135) + QFontMetrics(normalFont()).horizontalAdvance(QStringLiteral("--"));
    for (int i = 0; i < 4; ++i) {
        QLabel* value =
            label(c.Frame1, valueNames[i], twips(3135, 240 + 240 * i, 240, 195), QStringLiteral("--"));
        const int left = titlesRight + 4;
        value->setGeometry(left, value->y(), valueRight - left + 1, value->height());
        value->setAlignment(Qt::AlignRight | Qt::AlignTop);
        setTextColor(value, ValueTextColor);
        *valueSlots[i] = value;
    }

    c.Frame2 = frame(page, "Frame2", twips(360, 2760, 3375, 2295), normalFont());
    c.LbLTitreInfoIMAGE = frameTitle(c.Frame2, "LbLTitreInfoIMAGE", twips(120, 0, 1545, 210),
                                     QStringLiteral(" Données Image "));
    c.LblCheckCompress = label(c.Frame2, "LblCheckCompress", twips(120, 240, 2805, 195),
                               QStringLiteral("Image compréssée (Format Vardo)"));
    c.LblCheckCompress->setToolTip(QStringLiteral("Déclare une image au format compressée"));
    c.LblChkAlpha =
        label(c.Frame2, "LblChkAlpha", twips(120, 570, 1560, 195), QStringLiteral("Canal Alpha Utilisé"));
    c.LblChkAlpha->setToolTip(
        QStringLiteral("Déclare d'utilisation de zone totalement ou partiellement transparentes"));
    c.Picture1 = pictureBox(c.Frame2, "Picture1", twips(2955, 240, 255, 560), BackgroundColor);
    c.ChkCompress = place<QCheckBox>(c.Picture1, "ChkCompress", twips(0, 0, 255, 255), normalFont());
    c.ChkAlpha = place<QCheckBox>(c.Picture1, "ChkAlpha", twips(0, 300, 255, 255), normalFont());
    c.ChkCompress->setEnabled(false);
    c.ChkAlpha->setEnabled(false);

    struct CountRow {
        const char* labelName;
        const char* boxName;
        int labelTop;
        int labelWidth;
        int boxTop;
        QString text;
        QString tip;
        QLabel** labelSlot;
        QLabel** boxSlot;
    };
    const std::array<CountRow, 4> rows{{
        {"LblNbPixelAlpha", "TxtNbAlpha", 880, 1320, 840, QStringLiteral("Nb. pixels Alpha"),
         QStringLiteral("Représente les pixels partiellement transparents"), &c.LblNbPixelAlpha,
         &c.TxtNbAlpha},
        {"LblNbPixelAlpha0", "TxtNbAlpha0", 1240, 1980, 1200, QStringLiteral("Nb. pixels Transparents"),
         QStringLiteral("Représente les pixels complètement transparents"), &c.LblNbPixelAlpha0,
         &c.TxtNbAlpha0},
        {"LblNbCouleurs", "TxtNbCouleur", 1590, 1785, 1560, QStringLiteral("Nb. couleurs windows"),
         QStringLiteral("Nombre de couleurs en version windows"), &c.LblNbCouleurs, &c.TxtNbCouleur},
        {"LblNbCouleurs16", "TxtNbCouleur16", 1940, 1935, 1920, QStringLiteral("Nb. couleurs compress."),
         QStringLiteral("Nombre de couleurs en version compressé"), &c.LblNbCouleurs16, &c.TxtNbCouleur16},
    }};
    for (const CountRow& row : rows) {
        QLabel* title =
            label(c.Frame2, row.labelName, twips(120, row.labelTop, row.labelWidth, 195), row.text);
        title->setToolTip(row.tip);
        QLabel* box = label(c.Frame2, row.boxName, twips(2445, row.boxTop, 765, 255), QStringLiteral("0"));
        box->setToolTip(row.tip);
        box->setAlignment(Qt::AlignCenter);
        box->setAutoFillBackground(true);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, controls::colorForPainting(White));
        pal.setColor(QPalette::Active, QPalette::WindowText, controls::colorForPainting(NumberBoxText));
        pal.setColor(QPalette::Inactive, QPalette::WindowText, controls::colorForPainting(NumberBoxText));
        box->setPalette(pal);
        box->setEnabled(false);
        *row.labelSlot = title;
        *row.boxSlot = box;
    }

    c.Frame3 = frame(page, "Frame3", twips(360, 5160, 3375, 1095), normalFont());
    c.LbLTitreIMAGE =
        frameTitle(c.Frame3, "LbLTitreIMAGE", twips(840, 0, 1620, 210), QStringLiteral(" Affichage Image "));
    c.Picture4 = pictureBox(c.Frame3, "Picture4", twips(120, 240, 3015, 765), BackgroundColor);
    const std::array<QString, 3> modes{QStringLiteral("Image avec transparence"),
                                       QStringLiteral("Image sans transparence"),
                                       QStringLiteral("Uniquement le canal Alpha")};
    const std::array<int, 3> labelTops{20, 255, 495};
    for (int i = 0; i < 3; ++i) {
        c.OptAffichage[i] =
            place<QRadioButton>(c.Picture4, "OptAffichage", twips(0, 240 * i, 200, 255), normalFont(), i);
        c.OptAffichage[i]->setEnabled(false);
        c.LblOpt[i] =
            label(c.Picture4, "LblOpt", twips(285, labelTops[i], 2730, 255), modes[i], normalFont(), i);
    }
}

void MainForm::buildBatchPage(int pageIndex) {
    const bool compress = pageIndex == 1;
    QWidget* page = m_pages[pageIndex];
    BatchPageControls& c = m_batch[pageIndex - 1];
    auto pick = [compress](const char* compressName, const char* decompressName) {
        return compress ? compressName : decompressName;
    };
    c.page = m_pages[pageIndex];
    c.title = label(
        page, "LblTitre", twips(360, 480, 3375, 255),
        compress ? QStringLiteral("Compression par Dossier") : QStringLiteral("Décompression par Dossier"),
        titleFont(), pageIndex);
    c.title->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    c.folderFrame = frame(page, pick("Frame7", "Frame4"), twips(360, 720, 3375, 3375), largeFont());
    c.sourceCaption =
        label(c.folderFrame, pick("LbLDossierComp", "LbLDossierDecomp"), twips(0, 240, 3375, 255),
              compress ? QStringLiteral("Dossier fichiers à compresser")
                       : QStringLiteral("Dossier fichiers à décompresser"),
              titleFont());
    c.sourceCaption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    c.sourceFolder = place<QLineEdit>(c.folderFrame, pick("TextCheminComp", "TextCheminDecomp"),
                                      twips(240, 480, 2535, 285), normalFont());
    c.chooseSource = button(c.folderFrame, pick("CmdCheminComp", "CmdCheminDecomp"),
                            twips(2800, 500, 255, 255), QStringLiteral("..."));
    c.fileList = place<QListWidget>(c.folderFrame, pick("ListComp", "ListDecomp"),
                                    twips(240, 840, 2895, 1860), normalFont());
    c.includeSubfolders = place<WrapCheckBox>(c.folderFrame, pick("ChkRepComp", "ChkRep"),
                                              twips(240, 2760, 3015, 255), normalFont());
    c.includeSubfolders->setText(QStringLiteral("Inclure les sous répertoire"));
    c.fileCount =
        label(c.folderFrame, pick("LblNbFichiersComp", "LblNbFichiers"), twips(240, 3120, 2895, 255), {});
    setTextColor(c.fileCount, FileCountColor);

    c.optionsFrame = frame(
        page, pick("lblOptCompress", "lblOptDecompress"), twips(360, 4200, 3375, 1335), normalFont(),
        compress ? QStringLiteral("Options de compression") : QStringLiteral("Options de décompression"));
    c.backupCaption = label(c.optionsFrame, pick("LbLDossierCompSauve", "LbLDossierDecompSauve"),
                            twips(0, 240, 3375, 255), QStringLiteral("Dossier de sauvegarde"), titleFont());
    c.backupCaption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    c.backupFolder = place<QLineEdit>(c.optionsFrame, pick("TextCheminCompSauve", "TextCheminDecompSauve"),
                                      twips(240, 480, 2535, 285), normalFont());
    c.chooseBackup = button(c.optionsFrame, pick("CmdCheminCompSauve", "CmdCheminDecompSauve"),
                            twips(2800, 500, 255, 255), QStringLiteral("..."));
    c.copyOthers = place<WrapCheckBox>(c.optionsFrame, pick("ChkCopieComp", "ChkCopie"),
                                       twips(240, 840, 2895, 375), normalFont());
    c.copyOthers->setText(QStringLiteral("Faire une copie des images non compressées"));

    c.start = button(
        page, pick("CmdComp", "CmdDecomp"), twips(840, 5640, 2415, 375),
        compress ? QStringLiteral("Lancer la Compression") : QStringLiteral("Lancer la Décompression"));
    c.start->setEnabled(false);
}

}  // namespace shell
