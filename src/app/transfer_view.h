// What the main window shows and holds while a transfer runs on its worker: the progress
// bar, the quality box, the speed line and the stop button driven on the window's thread,
// the controls that could change the run disabled, the busy pointer.
#pragma once

#include "platform/qt/hourglass.h"
#include "settings/language.h"
#include "transfer/transfer.h"
#include "transfer/transfer_rate.h"

#include <QElapsedTimer>
#include <QTimer>

#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace orvix {

class Vumbar;

// The run's progress on the window's thread. The stop button and the speed line come and
// go with the bar; the line is worked out again every second, so it falls while a picture
// takes long.
class TransferView final : public ProgressSink {
public:
    TransferView(Vumbar& bar, QLineEdit& quality, QLabel& info, QPushButton& cancel,
                 const LanguageTable& language);

    void set_min(int value) override;
    void set_max(int value) override;
    void set_value(int value) override;
    void set_caption(const std::string& caption) override;
    void set_visible(bool visible) override;
    void set_quality_text(const std::string& text) override;
    void set_bytes_done(int64_t done, int64_t total) override;
    // A stop was asked: the time left means nothing more, the line keeps its last figures.
    void freeze_rate();

private:
    double now() const;
    void show_rate();

    Vumbar& m_bar;
    QLineEdit& m_quality;
    QLabel& m_info;
    QPushButton& m_cancel;
    const LanguageTable& m_language;
    TransferRate m_rate;
    QElapsedTimer m_clock;
    QTimer m_refresh;
    bool m_frozen = false;
};

class RunningTransfer {
public:
    // held: the controls that could change the run; each gets its own state back at the end.
    RunningTransfer(Vumbar& bar, QLineEdit& quality, QLabel& info, QPushButton& cancel,
                    const LanguageTable& language, const std::vector<QWidget*>& held);
    ~RunningTransfer();
    RunningTransfer(const RunningTransfer&) = delete;
    RunningTransfer& operator=(const RunningTransfer&) = delete;

    TransferView& view() { return m_view; }

private:
    TransferView m_view;
    std::vector<std::pair<QWidget*, bool>> m_held;
    Hourglass m_busy{Pointer::Busy};
};

} // namespace orvix
