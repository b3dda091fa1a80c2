// The pictures of the grid's cells, decoded off the user-interface thread into a bounded
// cache, each at the device pixels it is drawn at, so painting only copies it. The grid
// asks for the cells it wants in order of need (the visible ones first, then their
// neighbours); each new request replaces the waiting ones, so scrolling never leaves a
// queue of pictures nobody looks at any more. The neighbours are read ahead on threads of
// lower priority, which leave the processor to the window and to the visible cells.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QThreadPool>

#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace orvix {

struct CellRequest {
    std::string path;
    QSize size; // device pixels the picture is drawn at
    // The cell shows more pixels than the file holds: a larger source is drawn down
    // instead, when there is one.
    bool larger = false;
    // Off the screen, read ahead of need.
    bool ahead = false;
    // Device pixels a point where it is drawn: the picture carries it, so a painter draws
    // it at `size` device pixels.
    qreal ratio = 1.0;
};

// The device pixels a picture drawn in a rectangle of the drawing area covers: its corner
// and size rounded, the size alone so it stays the same wherever the grid is scrolled.
QRect device_rect(const QRect& rect, qreal ratio);

// Bytes that `screens` screens of cells hold: `cells` cells a screen, each a picture of
// `picture` device pixels.
qint64 cache_budget(qint64 cells, QSize picture, int screens);

// The path of a larger image of the same picture as a file of the grid, "" when there is
// none. Called on the loader's threads: it must be safe to call from any thread.
using LargerSource = std::function<std::string(const std::string& file)>;

// The picture of a file at a size, decoded and resampled; a null image when it cannot be
// read. Runs on any thread.
QImage decode_cell(const std::string& path, QSize size);

class CellLoader : public QObject {
    Q_OBJECT

public:
    // `threads` decode the visible cells, `ahead_threads` (at a lower priority) the others.
    CellLoader(qint64 budget_bytes, int threads, int ahead_threads = 1, QObject* parent = nullptr);
    ~CellLoader() override;

    struct Found {
        const QImage* image = nullptr; // null when never decoded; may be a null image
        bool fresh = false;            // decoded at the size asked and since the last reload
    };
    // The cached picture of the file, at whatever size it was last decoded.
    Found find(const std::string& path, QSize size) const;

    // The cells wanted now, most needed first. Pictures cached fresh are not decoded again;
    // the ones wanted are kept in the cache before any other.
    void request(const std::vector<CellRequest>& wanted);
    // Where larger sources are found; an empty function draws every file from itself.
    // The pictures cached become stale.
    void set_larger_source(LargerSource source);
    // The larger source the loader would draw the file from now, "" for none.
    std::string larger_source_of(const std::string& file) const;
    // Every cached picture becomes stale: it is still shown, but decoded again when wanted
    // (the files may have changed).
    void reload();
    // Takes in the pictures decoded while the window's thread was busy, whose results
    // still wait in its event queue (cell_ready is emitted for each, as ever).
    void take_arrived();
    // The cells of the last request, in the order asked.
    const std::vector<CellRequest>& wanted() const { return m_wanted; }
    // How many of the first `count` cells of the last request are still missing.
    int missing_among_first(int count) const;
    qint64 cached_bytes() const { return m_bytes; }
    qint64 budget() const { return m_budget; }
    // A new budget; pictures beyond it that are not wanted now go at once.
    void set_budget(qint64 bytes);
    // Pictures being decoded now.
    int in_flight() const;

signals:
    // The path's own bytes: a file name need not be UTF-8.
    void cell_ready(const QByteArray& path);

private:
    struct Entry {
        QImage image;
        QSize size;
        uint64_t generation = 0;
        std::list<std::string>::iterator lru;
    };

    struct Job {
        CellRequest cell;
        uint64_t generation = 0;
    };

    // The visible cells' workers, or those reading ahead.
    struct Crew {
        QThreadPool pool;
        int threads = 1;
        int running = 0;         // under m_mutex
        std::deque<Job> waiting; // under m_mutex
    };

    // Workers take the next job themselves, so decoding never waits for the
    // user-interface thread to hand it out.
    void start_workers();
    void start_crew(Crew& crew, bool ahead);
    void work(Crew& crew, bool ahead);
    void finished(const std::string& path, QSize size, uint64_t generation, QImage image);
    void evict();

    qint64 m_budget;
    uint64_t m_generation = 1;
    // Shared with the workers, under m_mutex.
    mutable std::mutex m_mutex;
    Crew m_visible;
    Crew m_ahead;
    std::unordered_set<std::string> m_decoding;
    LargerSource m_larger;
    // The user-interface thread's own.
    std::vector<CellRequest> m_wanted;
    // Where each wanted path stands in m_wanted.
    std::unordered_map<std::string, size_t> m_wanted_paths;
    std::unordered_map<std::string, Entry> m_cache;
    std::list<std::string> m_lru; // least recently used first
    qint64 m_bytes = 0;
};

} // namespace orvix
