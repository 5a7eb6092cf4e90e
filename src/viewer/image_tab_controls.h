#pragma once

// The widgets the image tab's commands work on. The main window builds them and lists them here once; its
// own page description adds the ones that only make up the layout.

#include <array>

#include "frm_image.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace viewer {

// The tab's controls, named as their objectName says; `window` is the main window.
struct ImageTabControls {
    QWidget* window = nullptr;
    QLineEdit* TextCheminBMP = nullptr;
    QPushButton* CmdOuvrirBMP = nullptr;
    QPushButton* CmdSaveBMP = nullptr;
    QPushButton* CmdCompressRL = nullptr;
    QLabel* LblTailleFichier = nullptr;
    QLabel* LbLargeurImg = nullptr;
    QLabel* LbHauteurImg = nullptr;
    QLabel* LblColorDef = nullptr;
    QLabel* LblCheckCompress = nullptr;
    QCheckBox* ChkCompress = nullptr;
    QLabel* LblChkAlpha = nullptr;
    QCheckBox* ChkAlpha = nullptr;
    QLabel* LblNbPixelAlpha = nullptr;
    QLabel* TxtNbAlpha = nullptr;
    QLabel* LblNbPixelAlpha0 = nullptr;
    QLabel* TxtNbAlpha0 = nullptr;
    QLabel* LblNbCouleurs = nullptr;
    QLabel* TxtNbCouleur = nullptr;
    QLabel* LblNbCouleurs16 = nullptr;
    QLabel* TxtNbCouleur16 = nullptr;
    std::array<QRadioButton*, DisplayModeCount> OptAffichage{};
    std::array<QLabel*, DisplayModeCount> LblOpt{};
};

}  // namespace viewer
