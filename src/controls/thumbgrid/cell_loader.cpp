#include "controls/thumbgrid/cell_loader.h"

#include "imaging/picture_layer.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <utility>

namespace orvix {

namespace {

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
    picture::RgbImage rgb = picture::read_picture(source, code, {size.width(), size.height()});
    if (rgb.empty())
        return {};
    if (rgb.width() != size.width() || rgb.height() != size.height())
        rgb = picture::resize(rgb, size.width(), size.height());
    return rgb.empty() ? QImage() : to_qimage(rgb);
}

// Qt's own readers, for the formats the picture layer leaves to the platform (GIF).
QImage decode_with_qt(const std::string& path, QSize size) {
    QImageReader reader(QFile::decodeName(QByteArray::fromStdString(path)));
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
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
    m_pool.clear();
    m_pool.waitForDone();
}

CellLoader::Found CellLoader::find(const std::string& path, QSize size) const {
    const auto found = m_cache.find(path);
    if (found == m_cache.end())
        return {};
    const Entry& entry = found->second;
    return {&entry.image, entry.size == size && entry.generation == m_generation};
}

void CellLoader::request(const std::vector<CellRequest>& wanted) {
    m_wanted = wanted;
    m_wanted_paths.clear();
    m_waiting.clear();
    for (const CellRequest& cell : wanted) {
        m_wanted_paths.insert(cell.path);
        if (!find(cell.path, cell.size).fresh && !m_busy.contains(cell.path))
            m_waiting.push_back(cell);
    }
    // The most needed become the most recently used.
    for (auto cell = wanted.rbegin(); cell != wanted.rend(); ++cell) {
        const auto found = m_cache.find(cell->path);
        if (found != m_cache.end())
            m_lru.splice(m_lru.end(), m_lru, found->second.lru);
    }
    pump();
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

void CellLoader::pump() {
    while (m_in_flight < m_threads && !m_waiting.empty()) {
        CellRequest cell = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (!m_busy.insert(cell.path).second)
            continue;
        ++m_in_flight;
        const uint64_t generation = m_generation;
        m_pool.start([this, cell = std::move(cell), generation] {
            QImage image = decode_cell(cell.path, cell.size);
            QMetaObject::invokeMethod(
                this,
                [this, path = cell.path, size = cell.size, generation,
                 image = std::move(image)]() mutable {
                    finished(path, size, generation, std::move(image));
                },
                Qt::QueuedConnection);
        });
    }
}

void CellLoader::finished(const std::string& path, QSize size, uint64_t generation, QImage image) {
    --m_in_flight;
    m_busy.erase(path);
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
    emit cell_ready(QString::fromStdString(path));
    // Wanted again at another size, or since a reload: decode it once more.
    if (m_wanted_paths.contains(path)) {
        for (const CellRequest& cell : m_wanted)
            if (cell.path == path && !find(cell.path, cell.size).fresh) {
                m_waiting.push_front(cell);
                break;
            }
    }
    pump();
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
