// The crop window: the picture shrunk to fit (`pplus`) with the crop rectangle (`gr`) lying
// exactly over it. A double click on the picture (or Return) accepts: crop_result gets the
// rectangle in the picture's pixels. Closing it any other way leaves crop_result empty.
#pragma once

#include <QDialog>
#include <QString>

#include <string>

namespace orvix {

class PicturePlus;
class getrect;

class cropwindow : public QDialog {
    Q_OBJECT

public:
    // crop_result is the program's; the window writes it only on acceptance.
    cropwindow(std::string& crop_result, const QString& title, QWidget* owner = nullptr);

    void setpicture(const QString& path);
    void pplus_DblClick();

    PicturePlus* pplus() const { return m_pplus; }
    getrect* gr() const { return m_gr; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();

    std::string& m_crop_result;
    PicturePlus* m_pplus = nullptr;
    getrect* m_gr = nullptr;
};

} // namespace orvix
