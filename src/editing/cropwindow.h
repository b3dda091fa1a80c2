// The crop window: the picture shrunk to fit (`pplus`) with the crop rectangle (`gr`) lying
// exactly over it, and below them a line that says how to crop, the shape the rectangle
// keeps, its size in the picture's pixels and the OK and Cancel buttons. A double click on
// the picture, Return or OK accepts: crop_result gets the rectangle in the picture's pixels.
// Closing it any other way leaves crop_result empty.
#pragma once

#include "settings/language.h"

#include <QDialog>
#include <QString>

#include <string>

class QComboBox;
class QLabel;

namespace orvix {

class PicturePlus;
class getrect;

class cropwindow : public QDialog {
    Q_OBJECT

public:
    // crop_result is the program's; the window writes it only on acceptance. Its texts
    // come from the language table when it is made.
    cropwindow(std::string& crop_result, const LanguageTable& language, QWidget* owner = nullptr);

    void setpicture(const QString& path);
    void pplus_DblClick();

    PicturePlus* pplus() const { return m_pplus; }
    getrect* gr() const { return m_gr; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void make_bar(const LanguageTable& language);
    // The rectangle takes the shape chosen in the list.
    void apply_shape();
    void show_size();
    // As large as the screen lets a window be, decorations included.
    void open_on_screen();

    std::string& m_crop_result;
    PicturePlus* m_pplus = nullptr;
    getrect* m_gr = nullptr;
    QWidget* m_bar = nullptr;
    QComboBox* m_shapes = nullptr;
    QLabel* m_size = nullptr;
    std::string m_size_text;
    bool m_opened = false;
};

} // namespace orvix
