#include "controls/thumbgrid/cell_loader.h"

#include "fs/file_io.h"
#include "imaging/picture_layer.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <utility>

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

CellLoader::CellLoader(qint64 budget_bytes, int threads, QObject* parent)
    : QObject(parent), m_budget(budget_bytes), m_threads(std::max(threads, 1)) {
    m_pool.setMaxThreadCount(m_threads);
}

CellLoader::~CellLoader() {
    // The workers post their results to this object: none may still run when it goes.
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.clear();
    }
    m_pool.waitForDone();
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
        m_waiting.clear();
        for (const CellRequest& cell : wanted) {
            m_wanted_paths.insert(cell.path);
            if (!find(cell.path, cell.size).fresh && !m_decoding.contains(cell.path))
                m_waiting.push_back({cell, m_generation});
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

void CellLoader::start_workers() {
    const std::lock_guard lock(m_mutex);
    while (m_workers < m_threads && static_cast<size_t>(m_workers) < m_waiting.size()) {
        ++m_workers;
        m_pool.start([this] { work(); });
    }
}

void CellLoader::work() {
    for (;;) {
        Job job;
        LargerSource larger;
        {
            const std::lock_guard lock(m_mutex);
            while (!m_waiting.empty() && m_decoding.contains(m_waiting.front().cell.path))
                m_waiting.pop_front();
            if (m_waiting.empty()) {
                --m_workers;
                return;
            }
            job = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_decoding.insert(job.cell.path);
            if (job.cell.larger)
                larger = m_larger;
        }
        // A larger source is drawn down; when it cannot be read, the file itself is.
        const std::string source = larger_source(larger, job.cell.path);
        QImage image = source.empty() ? QImage() : decode_cell(source, job.cell.size);
        if (image.isNull())
            image = decode_cell(job.cell.path, job.cell.size);
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
        if (m_wanted_paths.contains(path)) {
            for (const CellRequest& cell : m_wanted)
                if (cell.path == path && !find(cell.path, cell.size).fresh) {
                    m_waiting.push_front({cell, m_generation});
                    break;
                }
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
