#include "controls/thumbgrid/cell_loader.h"

#include "fs/file_io.h"
#include "imaging/picture_layer.h"

#include <QBuffer>
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
    const QImage image = to_qimage(rgb);
    // Area averaging: the decode is already within twice the cell's size.
    return image.size() == size
               ? image
               : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
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
            if (crew.waiting.empty()) {
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
