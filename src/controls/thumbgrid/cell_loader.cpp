#include "controls/thumbgrid/cell_loader.h"

#include "fs/file_io.h"
#include "imaging/picture_layer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>

#include <algorithm>
#include <utility>

#include <sys/resource.h>
#include <unistd.h>

namespace orvix {

namespace {

// Far beyond any picture Qt's readers are left with here.
constexpr off_t kMaxQtPictureBytes = off_t{256} << 20;

QImage to_qimage(const picture::RgbImage& rgb) {
    QImage image(rgb.width(), rgb.height(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (int y = 0; y < rgb.height(); ++y) {
        const uint8_t* from = rgb.row(y);
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < rgb.width(); ++x, from += 3)
            to[x] = qRgb(from[0], from[1], from[2]);
    }
    return image;
}

// Shares of a picture pixel in a cell pixel, out of kWhole.
constexpr int kWholeShift = 14;
constexpr uint32_t kWhole = 1u << kWholeShift;

// The picture pixels a cell pixel covers along one axis: from `first`, `count` of them,
// their shares at `shares` in the table.
struct Span {
    int first = 0;
    int count = 0;
    size_t shares = 0;
};

// The spans of `to` cell pixels over `from` picture pixels (to <= from), each share the part
// of the picture pixel inside the cell pixel.
void make_spans(int from, int to, std::vector<Span>& spans, std::vector<uint32_t>& shares) {
    const double step = double(from) / to;
    spans.resize(size_t(to));
    for (int i = 0; i < to; ++i) {
        const double begin = i * step, end = std::min(double(from), (i + 1) * step);
        Span& span = spans[size_t(i)];
        span = {int(begin), 0, shares.size()};
        uint32_t given = 0;
        for (int p = span.first; p < from && p < end; ++p) {
            const double inside = std::min(double(p + 1), end) - std::max(double(p), begin);
            const auto share = static_cast<uint32_t>(inside / step * kWhole + 0.5);
            shares.push_back(share);
            given += share;
            ++span.count;
        }
        // What rounding lost or added goes to the last, so a flat picture stays flat.
        shares.back() += kWhole - given;
    }
}

// The picture reduced to the cell's size by area averaging, written straight as the 32-bit
// pixels a painter copies: one pass a direction, no picture in between at full size.
QImage shrunk(const picture::RgbImage& rgb, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    std::vector<Span> across, down;
    std::vector<uint32_t> shares;
    make_spans(rgb.width(), size.width(), across, shares);
    make_spans(rgb.height(), size.height(), down, shares);
    // Rows reduced across, kept with 8 bits more than a channel.
    constexpr int kKeptShift = kWholeShift - 8;
    const size_t row_values = size_t(size.width()) * 3;
    std::vector<uint16_t> rows(row_values * size_t(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const uint8_t* from = rgb.row(y);
        uint16_t* to = rows.data() + row_values * size_t(y);
        for (const Span& span : across) {
            uint32_t r = 0, g = 0, b = 0;
            const uint8_t* pixel = from + size_t(span.first) * 3;
            for (int i = 0; i < span.count; ++i, pixel += 3) {
                const uint32_t share = shares[span.shares + size_t(i)];
                r += pixel[0] * share;
                g += pixel[1] * share;
                b += pixel[2] * share;
            }
            *to++ = uint16_t(r >> kKeptShift);
            *to++ = uint16_t(g >> kKeptShift);
            *to++ = uint16_t(b >> kKeptShift);
        }
    }
    constexpr int kOutShift = kWholeShift + 8;
    constexpr uint32_t kHalf = 1u << (kOutShift - 1);
    std::vector<uint32_t> sums(row_values);
    for (int y = 0; y < size.height(); ++y) {
        const Span& span = down[size_t(y)];
        std::fill(sums.begin(), sums.end(), kHalf);
        for (int i = 0; i < span.count; ++i) {
            const uint32_t share = shares[span.shares + size_t(i)];
            const uint16_t* row = rows.data() + row_values * size_t(span.first + i);
            for (size_t v = 0; v < row_values; ++v)
                sums[v] += row[v] * share;
        }
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            to[x] = qRgb(int(std::min(sums[size_t(x) * 3] >> kOutShift, 255u)),
                         int(std::min(sums[size_t(x) * 3 + 1] >> kOutShift, 255u)),
                         int(std::min(sums[size_t(x) * 3 + 2] >> kOutShift, 255u)));
    }
    return image;
}

// Through the picture layer: TurboJPEG at a reduced scale for JPEGs, the others as the
// program reads them everywhere else.
QImage decode_with_picture_layer(const std::string& path, QSize size) {
    picture::PictureSource source;
    if (!source.open(path))
        return {};
    const int code = picture::guess_file_type(source);
    source.seek(0);
    if (!picture::format_readable(code))
        return {};
    const picture::RgbImage rgb =
        picture::read_picture(source, code, {size.width(), size.height()});
    if (rgb.empty())
        return {};
    if (rgb.width() >= size.width() && rgb.height() >= size.height())
        return shrunk(rgb, size);
    // Enlarged (a zoom with no larger source): Qt's smoothing, on this thread still.
    return to_qimage(rgb).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Qt's own readers, for the formats the picture layer leaves to the platform (GIF). The
// file is read by its own bytes, which name it whatever the encoding of its name, and only
// when it is a regular file: a fifo in the list would hold a worker for ever.
QImage decode_with_qt(const std::string& path, QSize size) {
    std::string bytes;
    if (read_regular_file(path, bytes, kMaxQtPictureBytes) != 0)
        return {};
    QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer);
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

// Reading ahead yields to the window's thread and to the visible cells: a thread's nice
// value is its own on Linux. Failing leaves it at the normal priority.
void lower_priority() {
    constexpr int kAheadNice = 10;
    const int now = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (now < kAheadNice)
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kAheadNice);
}

// The larger source of a file, "" when there is none or finding it failed.
std::string larger_source(const LargerSource& larger, const std::string& file) {
    if (!larger)
        return {};
    try {
        return larger(file);
    } catch (...) {
        return {};
    }
}

} // namespace

QImage decode_cell(const std::string& path, QSize size) {
    if (size.isEmpty())
        return {};
    try {
        QImage image = decode_with_picture_layer(path, size);
        return image.isNull() ? decode_with_qt(path, size) : image;
    } catch (...) {
        // Out of memory or a decoder's own failure: the cell stays empty.
        return {};
    }
}

QRect device_rect(const QRect& rect, qreal ratio) {
    return {QPoint(qRound(rect.left() * ratio), qRound(rect.top() * ratio)),
            QSize(qRound(rect.width() * ratio), qRound(rect.height() * ratio))};
}

qint64 cache_budget(qint64 cells, QSize picture, int screens) {
    const qint64 pixels = qint64(std::max(picture.width(), 0)) * std::max(picture.height(), 0);
    return std::max<qint64>(cells, 0) * pixels * qint64(sizeof(QRgb)) * std::max(screens, 0);
}

CellLoader::CellLoader(qint64 budget_bytes, int threads, int ahead_threads, QObject* parent)
    : QObject(parent), m_budget(budget_bytes) {
    m_visible.threads = std::max(threads, 1);
    m_ahead.threads = std::max(ahead_threads, 1);
    m_visible.pool.setMaxThreadCount(m_visible.threads);
    m_ahead.pool.setMaxThreadCount(m_ahead.threads);
}

CellLoader::~CellLoader() {
    // The workers post their results to this object: none may still run when it goes.
    {
        const std::lock_guard lock(m_mutex);
        m_visible.waiting.clear();
        m_ahead.waiting.clear();
    }
    m_visible.pool.waitForDone();
    m_ahead.pool.waitForDone();
}

CellLoader::Found CellLoader::find(const std::string& path, QSize size) const {
    const auto found = m_cache.find(path);
    if (found == m_cache.end())
        return {};
    const Entry& entry = found->second;
    return {&entry.image, entry.size == size && entry.generation == m_generation};
}

int CellLoader::in_flight() const {
    const std::lock_guard lock(m_mutex);
    return static_cast<int>(m_decoding.size());
}

void CellLoader::request(const std::vector<CellRequest>& wanted) {
    m_wanted = wanted;
    m_wanted_paths.clear();
    {
        const std::lock_guard lock(m_mutex);
        m_visible.waiting.clear();
        m_ahead.waiting.clear();
        for (size_t i = 0; i < wanted.size(); ++i) {
            const CellRequest& cell = wanted[i];
            m_wanted_paths.try_emplace(cell.path, i);
            if (!find(cell.path, cell.size).fresh && !m_decoding.contains(cell.path))
                (cell.ahead ? m_ahead : m_visible).waiting.push_back({cell, m_generation});
        }
    }
    // The most needed become the most recently used.
    for (auto cell = wanted.rbegin(); cell != wanted.rend(); ++cell) {
        const auto found = m_cache.find(cell->path);
        if (found != m_cache.end())
            m_lru.splice(m_lru.end(), m_lru, found->second.lru);
    }
    start_workers();
}

void CellLoader::set_larger_source(LargerSource source) {
    {
        const std::lock_guard lock(m_mutex);
        m_larger = std::move(source);
    }
    reload();
}

std::string CellLoader::larger_source_of(const std::string& file) const {
    LargerSource larger;
    {
        const std::lock_guard lock(m_mutex);
        larger = m_larger;
    }
    return larger_source(larger, file);
}

void CellLoader::take_arrived() {
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void CellLoader::reload() {
    ++m_generation;
}

int CellLoader::missing_among_first(int count) const {
    int missing = 0;
    for (size_t i = 0; i < m_wanted.size() && i < static_cast<size_t>(std::max(count, 0)); ++i)
        if (!find(m_wanted[i].path, m_wanted[i].size).fresh)
            ++missing;
    return missing;
}

void CellLoader::set_budget(qint64 bytes) {
    m_budget = bytes;
    evict();
}

void CellLoader::start_workers() {
    const std::lock_guard lock(m_mutex);
    start_crew(m_visible, false);
    start_crew(m_ahead, true);
}

void CellLoader::start_crew(Crew& crew, bool ahead) {
    // Reading ahead waits while visible cells wait.
    if (ahead && !m_visible.waiting.empty())
        return;
    while (crew.running < crew.threads && static_cast<size_t>(crew.running) < crew.waiting.size()) {
        ++crew.running;
        crew.pool.start([this, &crew, ahead] { work(crew, ahead); });
    }
}

void CellLoader::work(Crew& crew, bool ahead) {
    if (ahead)
        lower_priority();
    for (;;) {
        Job job;
        LargerSource larger;
        {
            const std::lock_guard lock(m_mutex);
            while (!crew.waiting.empty() && m_decoding.contains(crew.waiting.front().cell.path))
                crew.waiting.pop_front();
            if (crew.waiting.empty() || (ahead && !m_visible.waiting.empty())) {
                --crew.running;
                return;
            }
            job = std::move(crew.waiting.front());
            crew.waiting.pop_front();
            m_decoding.insert(job.cell.path);
            if (job.cell.larger)
                larger = m_larger;
        }
        // A larger source is drawn down; when it cannot be read, the file itself is.
        const std::string source = larger_source(larger, job.cell.path);
        QImage image = source.empty() ? QImage() : decode_cell(source, job.cell.size);
        if (image.isNull())
            image = decode_cell(job.cell.path, job.cell.size);
        image.setDevicePixelRatio(job.cell.ratio);
        QMetaObject::invokeMethod(
            this,
            [this, path = job.cell.path, size = job.cell.size, generation = job.generation,
             image = std::move(image)]() mutable {
                finished(path, size, generation, std::move(image));
            },
            Qt::QueuedConnection);
    }
}

void CellLoader::finished(const std::string& path, QSize size, uint64_t generation, QImage image) {
    auto [found, inserted] = m_cache.try_emplace(path);
    Entry& entry = found->second;
    if (inserted)
        entry.lru = m_lru.insert(m_lru.end(), path);
    else
        m_lru.splice(m_lru.end(), m_lru, entry.lru);
    m_bytes -= entry.image.sizeInBytes();
    entry.image = std::move(image);
    entry.size = size;
    entry.generation = generation;
    m_bytes += entry.image.sizeInBytes();
    evict();
    {
        const std::lock_guard lock(m_mutex);
        m_decoding.erase(path);
        // Wanted again at another size, or since a reload: decode it once more.
        const auto wanted = m_wanted_paths.find(path);
        if (wanted != m_wanted_paths.end()) {
            const CellRequest& cell = m_wanted[wanted->second];
            if (!find(cell.path, cell.size).fresh)
                (cell.ahead ? m_ahead : m_visible).waiting.push_front({cell, m_generation});
        }
    }
    start_workers();
    emit cell_ready(QByteArray::fromStdString(path));
}

void CellLoader::evict() {
    for (auto name = m_lru.begin(); m_bytes > m_budget && name != m_lru.end();) {
        if (m_wanted_paths.contains(*name)) {
            ++name;
            continue;
        }
        const auto found = m_cache.find(*name);
        m_bytes -= found->second.image.sizeInBytes();
        m_cache.erase(found);
        name = m_lru.erase(name);
    }
}

} // namespace orvix
