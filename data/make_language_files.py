#!/usr/bin/env python3
"""Writes the language files French.lng, English.lng, German.lng and Spanish.lng beside this script.

Language files are Windows-1252 text, one "Key=Value" entry per line, every line ended by CR LF.
A value "Caption|Tooltip" gives a control its caption and its tooltip; "\\n" in a value is a line break.
An empty value keeps the window's built-in text and clears the tooltip.

The lookup takes the first place where "Key=" occurs anywhere in the file, so a key that ends
another key (Menu_0 inside MainForm_PictMenu_0) must come first; write() checks that.

Run: python3 data/make_language_files.py
"""

import pathlib

LANGUAGES = ["French", "English", "German", "Spanish"]

# Flag tooltips name each language in its own tongue, in the order of the flag row
# (French first, then the other files sorted by name).
LANGUAGE_NAMES = ["Fran\u00e7ais", "English", "Deutsch", "Espa\u00f1ol"]

# (key, French, English, German, Spanish)
ROWS = [
    # The locale of the toolkit's own texts (standard dialogs, message box buttons) for this language.
    ("Locale", "fr", "en", "de", "es"),
    # Fixed keys first: "Menu_0=" also occurs inside "MainForm_PictMenu_0=".
    ("Menu_0", "Image", "Image", "Bild", "Imagen"),
    ("Menu_1", "Compression", "Compress", "Komprimieren", "Compresi\u00f3n"),
    ("Menu_2", "D\u00e9compression", "Decompress", "Entpacken", "Descompresi\u00f3n"),
    ("Message_1", "Aucun fichier trouv\u00e9", "No file found", "Keine Datei gefunden",
     "Ning\u00fan archivo encontrado"),
    ("Message_2", " fichier(s) trouv\u00e9(s)", " file(s) found", " Datei(en) gefunden",
     " archivo(s) encontrado(s)"),
    ("Message_3", "Choisir le dossier de sauvegarde", "Choose the backup folder",
     "Sicherungsordner w\u00e4hlen", "Elegir la carpeta de destino"),
    ("Message_4", "Choisir le dossier des images \u00e0 traiter", "Choose the folder of the images to convert",
     "Ordner der zu verarbeitenden Bilder w\u00e4hlen", "Elegir la carpeta de las im\u00e1genes a convertir"),
    ("Message_5", "Compression en cours", "Compressing", "Komprimierung l\u00e4uft", "Comprimiendo"),
    ("Message_6", "D\u00e9compression en cours", "Decompressing", "Entpacken l\u00e4uft", "Descomprimiendo"),
    ("Message_7", "Image en cours : ", "Image: ", "Bild: ", "Imagen: "),
    ("Message_8", "Aper\u00e7u - ", "Preview - ", "Vorschau - ", "Vista previa - "),

    # Main window.
    ("MainForm", "Tarvik-Vardo BMP Tool", "Tarvik-Vardo BMP Tool", "Tarvik-Vardo BMP Tool",
     "Tarvik-Vardo BMP Tool"),
    ("MainForm_PictMenu_0", "", "", "", ""),
    ("MainForm_PictMenu_1", "", "", "", ""),
    ("MainForm_PictMenu_2", "", "", "", ""),
    ("MainForm_PictBp_0", "|Onglet G\u00e9n\u00e9ral", "|General tab", "|Register Allgemein",
     "|Pesta\u00f1a general"),
    ("MainForm_PictBp_1", "|Onglet de compression par lot", "|Batch compression tab",
     "|Register Stapelkomprimierung", "|Pesta\u00f1a de compresi\u00f3n por lotes"),
    ("MainForm_PictBp_2", "|Onglet de d\u00e9compression par lot", "|Batch decompression tab",
     "|Register Stapelentpackung", "|Pesta\u00f1a de descompresi\u00f3n por lotes"),
    ("MainForm_Line1", "", "", "", ""),
    ("MainForm_Pictversion", "", "", "", ""),
    ("MainForm_PictLangue_0", "|Cliquer sur le drapeau pour s\u00e9lectionner le language",
     "|Click a flag to choose the language", "|Auf eine Flagge klicken, um die Sprache zu w\u00e4hlen",
     "|Pulse una bandera para elegir el idioma"),
] + [
    ("MainForm_PictLangue_%d" % (i + 1),) + ("|" + name,) * 4 for i, name in enumerate(LANGUAGE_NAMES)
] + [
    ("MainForm_Lblurl", "|Ouvrir la page web du programme", "|Open the program's web page",
     "|Webseite des Programms \u00f6ffnen", "|Abrir la p\u00e1gina web del programa"),

    # Single-image page.
    ("MainForm_LblTitre_0", "Chemin fichier BMP", "BMP file path", "Pfad der BMP-Datei", "Ruta del archivo BMP"),
    ("MainForm_TextCheminBMP", "|Chemin de l'image ouverte", "|Path of the open image",
     "|Pfad des ge\u00f6ffneten Bildes", "|Ruta de la imagen abierta"),
    ("MainForm_CmdOuvrirBMP", "...|Ouvrir une image", "...|Open an image", "...|Bild \u00f6ffnen",
     "...|Abrir una imagen"),
    ("MainForm_CmdSaveBMP", "Sauver (BMP)|Enregistrer l'image au format BMP",
     "Save (BMP)|Save the image as a Windows bitmap", "Sichern (BMP)|Bild als Windows-Bitmap speichern",
     "Guardar (BMP)|Guardar la imagen como mapa de bits de Windows"),
    ("MainForm_CmdCompressRL", "Compression|Enregistrer l'image au format compress\u00e9",
     "Compress|Save the image in the compressed format", "Komprimieren|Bild im komprimierten Format speichern",
     "Comprimir|Guardar la imagen en formato comprimido"),
    ("MainForm_Frame1", "", "", "", ""),
    ("MainForm_LbLTitreInfoBMP", " Information BMP ", " BMP information ", " BMP-Information ",
     " Informaci\u00f3n BMP "),
    ("MainForm_LblInfoBmp_0", "Taille du Fichier :", "File size:", "Dateigr\u00f6\u00dfe:",
     "Tama\u00f1o del archivo:"),
    ("MainForm_LblInfoBmp_1", "Largeur Image :", "Image width:", "Bildbreite:", "Ancho de imagen:"),
    ("MainForm_LblInfoBmp_2", "Hauteur Image :", "Image height:", "Bildh\u00f6he:", "Alto de imagen:"),
    ("MainForm_LblInfoBmp_3", "D\u00e9finition couleur :", "Colour depth:", "Farbtiefe:",
     "Profundidad de color:"),
    # Value labels: their text is the figure shown, so only the tooltip is translated.
    ("MainForm_LblTailleFichier", "", "", "", ""),
    ("MainForm_LbLargeurImg", "", "", "", ""),
    ("MainForm_LbHauteurImg", "", "", "", ""),
    ("MainForm_LblColorDef", "", "", "", ""),
    ("MainForm_Frame2", "", "", "", ""),
    ("MainForm_LbLTitreInfoIMAGE", " Donn\u00e9es Image ", " Image data ", " Bilddaten ", " Datos de imagen "),
    ("MainForm_LblCheckCompress", "Image compr\u00e9ss\u00e9e (Format Vardo)|D\u00e9clare une image au format compress\u00e9e",
     "Compressed image (Vardo format)|Tells whether the image is in the compressed format",
     "Komprimiertes Bild (Vardo-Format)|Zeigt an, ob das Bild im komprimierten Format vorliegt",
     "Imagen comprimida (formato Vardo)|Indica si la imagen est\u00e1 en formato comprimido"),
    ("MainForm_LblChkAlpha",
     "Canal Alpha Utilis\u00e9|D\u00e9clare d'utilisation de zone totalement ou partiellement transparentes",
     "Alpha channel used|Tells whether the image has fully or partly transparent areas",
     "Alphakanal verwendet|Zeigt an, ob das Bild ganz oder teilweise transparente Bereiche hat",
     "Canal alfa utilizado|Indica si la imagen tiene zonas total o parcialmente transparentes"),
    ("MainForm_Picture1", "", "", "", ""),
    ("MainForm_ChkCompress", "", "", "", ""),
    ("MainForm_ChkAlpha", "", "", "", ""),
]

# Each count label and the value box on its row share one tooltip.
_COUNTS = [
    ("LblNbPixelAlpha", "TxtNbAlpha",
     ("Nb. pixels Alpha", "Repr\u00e9sente les pixels partiellement transparents"),
     ("Alpha pixels", "Number of partly transparent pixels"),
     ("Alpha-Pixel", "Anzahl der teilweise transparenten Pixel"),
     ("P\u00edxeles alfa", "N\u00famero de p\u00edxeles parcialmente transparentes")),
    ("LblNbPixelAlpha0", "TxtNbAlpha0",
     ("Nb. pixels Transparents", "Repr\u00e9sente les pixels compl\u00e8tement transparents"),
     ("Transparent pixels", "Number of fully transparent pixels"),
     ("Transparente Pixel", "Anzahl der vollst\u00e4ndig transparenten Pixel"),
     ("P\u00edxeles transparentes", "N\u00famero de p\u00edxeles totalmente transparentes")),
    ("LblNbCouleurs", "TxtNbCouleur",
     ("Nb. couleurs windows", "Nombre de couleurs en version windows"),
     ("Windows colours", "Number of colours in the Windows version"),
     ("Windows-Farben", "Anzahl der Farben in der Windows-Fassung"),
     ("Colores Windows", "N\u00famero de colores en la versi\u00f3n Windows")),
    ("LblNbCouleurs16", "TxtNbCouleur16",
     ("Nb. couleurs compress.", "Nombre de couleurs en version compress\u00e9"),
     ("Compressed colours", "Number of colours in the compressed version"),
     ("Komprim. Farben", "Anzahl der Farben in der komprimierten Fassung"),
     ("Colores comprim.", "N\u00famero de colores en la versi\u00f3n comprimida")),
]
for label, box, *texts in _COUNTS:
    ROWS.append(("MainForm_" + label,) + tuple(caption + "|" + tip for caption, tip in texts))
for label, box, *texts in _COUNTS:
    ROWS.append(("MainForm_" + box,) + tuple("|" + tip for caption, tip in texts))

ROWS += [
    ("MainForm_Frame3", "", "", "", ""),
    ("MainForm_LbLTitreIMAGE", " Affichage Image ", " Image display ", " Bildanzeige ", " Vista de imagen "),
    ("MainForm_Picture4", "", "", "", ""),
    ("MainForm_OptAffichage_0", "", "", "", ""),
    ("MainForm_OptAffichage_1", "", "", "", ""),
    ("MainForm_OptAffichage_2", "", "", "", ""),
    ("MainForm_LblOpt_0", "Image avec transparence", "Image with transparency", "Bild mit Transparenz",
     "Imagen con transparencia"),
    ("MainForm_LblOpt_1", "Image sans transparence", "Image without transparency", "Bild ohne Transparenz",
     "Imagen sin transparencia"),
    ("MainForm_LblOpt_2", "Uniquement le canal Alpha", "Alpha channel only", "Nur der Alphakanal",
     "Solo el canal alfa"),
]


def batch_page(title_index, frame, names, fr, en, de, es):
    """The two batch pages mirror each other; `names` maps roles to control names, the four texts
    tuples hold (page title, source label, source tooltip, browse tooltip, options title, backup
    tooltip, start button) in each language."""
    common = {
        "list": ("|Images trouv\u00e9es dans le dossier", "|Images found in the folder",
                 "|Im Ordner gefundene Bilder", "|Im\u00e1genes encontradas en la carpeta"),
        "subfolders": ("Inclure les sous r\u00e9pertoire", "Include subfolders", "Unterordner einbeziehen",
                       "Incluir subcarpetas"),
        "backup": ("Dossier de sauvegarde", "Backup folder", "Sicherungsordner", "Carpeta de destino"),
        "browseBackup": ("...|Choisir le dossier de sauvegarde", "...|Choose the backup folder",
                         "...|Sicherungsordner w\u00e4hlen", "...|Elegir la carpeta de destino"),
        # Ticked, the run also copies the files it does not convert (those already in the target format).
        "copy": ("Faire une copie des images non compress\u00e9es", "Copy the images left unconverted",
                 "Nicht umgewandelte Bilder kopieren", "Copiar las im\u00e1genes no convertidas"),
    }
    per_language = list(zip(fr, en, de, es))
    title, source, source_tip, browse_tip, options, backup_tip, start = per_language
    return [
        ("MainForm_LblTitre_%d" % title_index,) + title,
        ("MainForm_" + frame, "", "", "", ""),
        ("MainForm_" + names["sourceLabel"],) + source,
        ("MainForm_" + names["sourceBox"],) + tuple("|" + t for t in source_tip),
        ("MainForm_" + names["browseSource"],) + tuple("...|" + t for t in browse_tip),
        ("MainForm_" + names["list"],) + common["list"],
        ("MainForm_" + names["subfolders"],) + common["subfolders"],
        ("MainForm_" + names["count"], "", "", "", ""),
        ("MainForm_" + names["options"],) + options,
        ("MainForm_" + names["backupLabel"],) + common["backup"],
        ("MainForm_" + names["backupBox"],) + tuple("|" + t for t in backup_tip),
        ("MainForm_" + names["browseBackup"],) + common["browseBackup"],
        ("MainForm_" + names["copy"],) + common["copy"],
        ("MainForm_" + names["start"],) + start,
    ]


ROWS += batch_page(
    1, "Frame7",
    {"sourceLabel": "LbLDossierComp", "sourceBox": "TextCheminComp", "browseSource": "CmdCheminComp",
     "list": "ListComp", "subfolders": "ChkRepComp", "count": "LblNbFichiersComp", "options": "lblOptCompress",
     "backupLabel": "LbLDossierCompSauve", "backupBox": "TextCheminCompSauve",
     "browseBackup": "CmdCheminCompSauve", "copy": "ChkCopieComp", "start": "CmdComp"},
    ("Compression par Dossier", "Dossier fichiers \u00e0 compresser", "Dossier des images \u00e0 compresser",
     "Choisir le dossier des images \u00e0 compresser", "Options de compression",
     "Dossier o\u00f9 sont \u00e9crites les images compress\u00e9es", "Lancer la Compression"),
    ("Compress a folder", "Folder of files to compress", "Folder of the images to compress",
     "Choose the folder of the images to compress", "Compression options",
     "Folder receiving the compressed images", "Start compression"),
    ("Ordner komprimieren", "Zu komprimierender Ordner", "Ordner der zu komprimierenden Bilder",
     "Ordner der zu komprimierenden Bilder w\u00e4hlen", "Komprimierungsoptionen",
     "Ordner f\u00fcr die komprimierten Bilder", "Komprimierung starten"),
    ("Compresi\u00f3n por carpeta", "Carpeta de archivos a comprimir", "Carpeta de las im\u00e1genes a comprimir",
     "Elegir la carpeta de las im\u00e1genes a comprimir", "Opciones de compresi\u00f3n",
     "Carpeta donde se escriben las im\u00e1genes comprimidas", "Iniciar la compresi\u00f3n"),
)
ROWS += batch_page(
    2, "Frame4",
    {"sourceLabel": "LbLDossierDecomp", "sourceBox": "TextCheminDecomp", "browseSource": "CmdCheminDecomp",
     "list": "ListDecomp", "subfolders": "ChkRep", "count": "LblNbFichiers", "options": "lblOptDecompress",
     "backupLabel": "LbLDossierDecompSauve", "backupBox": "TextCheminDecompSauve",
     "browseBackup": "CmdCheminDecompSauve", "copy": "ChkCopie", "start": "CmdDecomp"},
    ("D\u00e9compression par Dossier", "Dossier fichiers \u00e0 d\u00e9compresser",
     "Dossier des images \u00e0 d\u00e9compresser", "Choisir le dossier des images \u00e0 d\u00e9compresser",
     "Options de d\u00e9compression", "Dossier o\u00f9 sont \u00e9crites les images d\u00e9compress\u00e9es",
     "Lancer la D\u00e9compression"),
    ("Decompress a folder", "Folder of files to decompress", "Folder of the images to decompress",
     "Choose the folder of the images to decompress", "Decompression options",
     "Folder receiving the decompressed images", "Start decompression"),
    ("Ordner entpacken", "Zu entpackender Ordner", "Ordner der zu entpackenden Bilder",
     "Ordner der zu entpackenden Bilder w\u00e4hlen", "Entpackoptionen", "Ordner f\u00fcr die entpackten Bilder",
     "Entpacken starten"),
    ("Descompresi\u00f3n por carpeta", "Archivos a descomprimir",
     "Carpeta de las im\u00e1genes a descomprimir", "Elegir la carpeta de las im\u00e1genes a descomprimir",
     "Opciones de descompresi\u00f3n", "Carpeta donde se escriben las im\u00e1genes descomprimidas",
     "Iniciar la descompresi\u00f3n"),
)

ROWS += [
    # Progress window of the batch runs.
    ("FrmTravail", "Traitement en cours", "Working", "In Arbeit", "Procesando"),
    ("FrmTravail_CmdAnnuler", "Annuler", "Cancel", "Abbrechen", "Cancelar"),
    ("FrmTravail_LblTravail", "|Position de l'image trait\u00e9e dans la liste",
     "|Position of the current image in the list", "|Position des aktuellen Bildes in der Liste",
     "|Posici\u00f3n de la imagen actual en la lista"),
    ("FrmTravail_ProgressBar", "", "", "", ""),

    # Context menu and title of the preview window.
    ("Preview_Zoom", "Zoom", "Zoom", "Zoom", "Zoom"),
    ("Preview_ZoomFit", "Ajuster \u00e0 l'\u00e9cran", "Fit to screen", "An Bildschirm anpassen",
     "Ajustar a la pantalla"),
    ("Preview_Background", "Fond", "Background", "Hintergrund", "Fondo"),
    ("Preview_Background_0", "Gris clair", "Light grey", "Hellgrau", "Gris claro"),
    ("Preview_Background_1", "Damier", "Checkerboard", "Schachbrett", "Tablero de ajedrez"),
    ("Preview_Background_2", "Noir", "Black", "Schwarz", "Negro"),
    ("Preview_Background_3", "Blanc", "White", "Wei\u00df", "Blanco"),
    ("Preview_AsShown", "Tel que le programme cible l'affiche", "As the target program shows it",
     "Wie das Zielprogramm es zeigt", "Como lo muestra el programa de destino"),
    ("Preview_Differences", "Diff\u00e9rences", "Differences", "Unterschiede", "Diferencias"),
    ("Preview_DifferenceCount", " \u2014 %1 pixel(s) modifi\u00e9(s)", " \u2014 %1 pixel(s) changed",
     " \u2014 %1 Pixel ge\u00e4ndert", " \u2014 %1 p\u00edxel(es) modificado(s)"),
    ("Preview_Reduce", "R\u00e9duire et compresser\u2026", "Reduce and compress\u2026",
     "Reduzieren und komprimieren\u2026", "Reducir y comprimir\u2026"),
    ("Preview_ReduceFailed", "L'image ne peut pas \u00eatre r\u00e9duite au format RL :\\n%1\\n\\n%2",
     "The image cannot be reduced to the RL format:\\n%1\\n\\n%2",
     "Das Bild kann nicht auf das RL-Format reduziert werden:\\n%1\\n\\n%2",
     "La imagen no se puede reducir al formato RL:\\n%1\\n\\n%2"),

    # Report shown after a batch run in which files were skipped or failed.
    ("BatchReport_Title", "Bilan du traitement", "Batch run report", "Stapelbericht", "Informe del lote"),
    ("BatchReport_Counts", "%1 fichier(s) converti(s), %2 copi\u00e9(s), %3 ignor\u00e9(s), %4 en \u00e9chec.",
     "%1 file(s) converted, %2 copied, %3 skipped, %4 failed.",
     "%1 Datei(en) umgewandelt, %2 kopiert, %3 \u00fcbersprungen, %4 fehlgeschlagen.",
     "%1 archivo(s) convertido(s), %2 copiado(s), %3 omitido(s), %4 con error."),
    ("BatchReport_Cancelled", "Traitement interrompu.", "The run was cancelled.", "Der Lauf wurde abgebrochen.",
     "El proceso se cancel\u00f3."),
    ("BatchReport_Details", "Fichiers non convertis :", "Files not converted:", "Nicht umgewandelte Dateien:",
     "Archivos no convertidos:"),
    ("BatchReason_Vanished", "fichier disparu", "file vanished", "Datei verschwunden", "archivo desaparecido"),
    ("BatchReason_UnknownType", "type de fichier inconnu", "unknown file type", "unbekannter Dateityp",
     "tipo de archivo desconocido"),
    ("BatchReason_LoadFailed", "image illisible", "image could not be read", "Bild nicht lesbar",
     "no se pudo leer la imagen"),
    ("BatchReason_TooManyColours", "trop de couleurs", "too many colours", "zu viele Farben",
     "demasiados colores"),
    ("BatchReason_WriterRefused", "refus\u00e9e \u00e0 l'\u00e9criture", "refused by the writer",
     "beim Schreiben abgelehnt", "rechazada al escribir"),
    ("BatchReason_CopyOff", "d\u00e9j\u00e0 au bon format, non copi\u00e9e",
     "already in the target format, not copied", "schon im Zielformat, nicht kopiert",
     "ya en el formato de destino, no copiada"),
    ("BatchReason_ReadFailed", "lecture impossible", "cannot read", "nicht lesbar", "no se puede leer"),
    ("BatchReason_FolderFailed", "dossier impossible \u00e0 cr\u00e9er", "cannot create folder",
     "Ordner kann nicht erstellt werden", "no se puede crear la carpeta"),
    ("BatchReason_WriteFailed", "\u00e9criture impossible", "cannot write", "Schreiben nicht m\u00f6glich",
     "no se puede escribir"),
    ("BatchReason_NotBelowSource", "hors du dossier source", "not below the source folder",
     "nicht im Quellordner", "fuera de la carpeta de origen"),
    ("BatchReason_BitmapBeside", "un .bmp du m\u00eame nom est \u00e0 c\u00f4t\u00e9",
     "a .bmp of the same name stands beside it", "eine .bmp gleichen Namens liegt daneben",
     "hay un .bmp con el mismo nombre al lado"),
    ("BatchReason_NoMemory", "m\u00e9moire insuffisante", "not enough memory", "nicht genug Speicher",
     "memoria insuficiente"),
    ("BatchReason_FolderUnlisted", "dossier illisible", "folder cannot be listed",
     "Ordner nicht lesbar", "no se puede leer la carpeta"),
]


def encode(rows, column):
    text = "".join("%s=%s\r\n" % (row[0], row[column]) for row in rows)
    # Every entry must be the first place its "Key=" occurs, or the lookup finds another line.
    for row in rows:
        at = text.find(row[0] + "=")
        if at != 0 and text[at - 1] != "\n":
            raise SystemExit("%s is hidden by an earlier line" % row[0])
    return text.encode("cp1252")


def main():
    keys = [row[0] for row in ROWS]
    if len(keys) != len(set(keys)):
        raise SystemExit("duplicate keys")
    for row in ROWS:
        if len(row) != 1 + len(LANGUAGES):
            raise SystemExit("%s: %d texts" % (row[0], len(row) - 1))
    here = pathlib.Path(__file__).resolve().parent
    for column, language in enumerate(LANGUAGES, start=1):
        (here / (language + ".lng")).write_bytes(encode(ROWS, column))


if __name__ == "__main__":
    main()
