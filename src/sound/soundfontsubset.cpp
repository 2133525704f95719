#include "sound/soundfontsubset.h"

#include <QFile>

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Record sizes of the preset data's sub-chunks (SoundFont 2.01, section 7).
constexpr int kPresetHeader = 38;
constexpr int kBag = 4;
constexpr int kModulator = 10;
constexpr int kGenerator = 4;
constexpr int kInstrumentHeader = 22;
constexpr int kSampleHeader = 46;
// Generators that refer to other records.
constexpr quint16 kInstrumentGenerator = 41;
constexpr quint16 kSampleIdGenerator = 53;
// Where in a record its index into the next table is.
constexpr int kPresetBagIndex = 24;
constexpr int kInstrumentBagIndex = 20;
constexpr int kSampleLink = 42;
constexpr int kSampleType = 44;
constexpr quint16 kLinkedTypes = 2 | 4 | 8;  // right, left, linked

// The records are checked to lie within their tables before they are read; a
// field past the end still reads as 0 and is never written.
quint16 get16(const QByteArray &table, qsizetype at)
{
    if (at < 0 || at + 2 > table.size())
        return 0;
    return quint16(uchar(table[at]) | uchar(table[at + 1]) << 8);
}

quint32 get32(const QByteArray &bytes, qsizetype at)
{
    return quint32(get16(bytes, at)) | quint32(get16(bytes, at + 2)) << 16;
}

void set16(QByteArray &table, qsizetype at, quint16 value)
{
    if (at < 0 || at + 2 > table.size())
        return;
    table[at] = char(value & 0xff);
    table[at + 1] = char(value >> 8);
}

QByteArray le32(quint32 value)
{
    const char bytes[4] = {char(value & 0xff), char(value >> 8 & 0xff), char(value >> 16 & 0xff), char(value >> 24)};
    return QByteArray(bytes, 4);
}

QByteArray chunk(const char *id, const QByteArray &body)
{
    return QByteArray(id, 4) + le32(quint32(body.size())) + body + (body.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

// What FluidSynth reads: the file's header and INFO list, its sample data list in
// place, and new preset data.
struct Image
{
    QString path;
    QByteArray head;
    qint64 samplesAt = 0;  // the sdta list, header included, in the file
    qint64 samplesSize = 0;
    QByteArray tail;

    qint64 size() const { return head.size() + samplesSize + tail.size(); }
};

// FluidSynth's callbacks know only the name they were given: images are found by it.
std::mutex imagesMutex;
std::map<std::string, std::shared_ptr<const Image>> images;
std::atomic_int imagesMade{0};

struct OpenImage
{
    std::shared_ptr<const Image> image;
    QFile file;
    qint64 pos = 0;
};

void *openImage(const char *name)
{
    std::shared_ptr<const Image> image;
    {
        std::lock_guard lock(imagesMutex);
        const auto found = images.find(name);
        if (found == images.end())
            return nullptr;
        image = found->second;
    }
    auto open = std::make_unique<OpenImage>();
    open->image = image;
    open->file.setFileName(image->path);
    if (!open->file.open(QIODevice::ReadOnly))
        return nullptr;
    return open.release();
}

int readImage(void *buffer, fluid_long_long_t count, void *handle)
{
    auto *open = static_cast<OpenImage *>(handle);
    const Image &image = *open->image;
    if (count < 0 || open->pos + count > image.size())
        return FLUID_FAILED;
    auto *out = static_cast<char *>(buffer);
    while (count > 0) {
        qint64 done = 0;
        const qint64 samplesFrom = image.head.size();
        const qint64 tailFrom = samplesFrom + image.samplesSize;
        if (open->pos < samplesFrom) {
            done = std::min<qint64>(count, samplesFrom - open->pos);
            std::memcpy(out, image.head.constData() + open->pos, size_t(done));
        } else if (open->pos < tailFrom) {
            done = std::min<qint64>(count, tailFrom - open->pos);
            if (!open->file.seek(image.samplesAt + open->pos - samplesFrom) || open->file.read(out, done) != done)
                return FLUID_FAILED;
        } else {
            done = count;
            std::memcpy(out, image.tail.constData() + (open->pos - tailFrom), size_t(done));
        }
        out += done;
        count -= done;
        open->pos += done;
    }
    return FLUID_OK;
}

int seekImage(void *handle, fluid_long_long_t offset, int origin)
{
    auto *open = static_cast<OpenImage *>(handle);
    const qint64 base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? open->pos : open->image->size();
    if (base + offset < 0 || base + offset > open->image->size())
        return FLUID_FAILED;
    open->pos = base + offset;
    return FLUID_OK;
}

fluid_long_long_t tellImage(void *handle)
{
    return static_cast<OpenImage *>(handle)->pos;
}

int closeImage(void *handle)
{
    delete static_cast<OpenImage *>(handle);
    return FLUID_OK;
}

} // namespace

struct SoundFontSubset::Parts
{
    QString path;
    QByteArray info;  // the INFO list, header included
    qint64 samplesAt = 0;
    qint64 samplesSize = 0;
    // The preset data's tables, each ending in its terminal record.
    QByteArray phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr;

    qsizetype presets() const { return phdr.size() / kPresetHeader - 1; }
    qsizetype instruments() const { return inst.size() / kInstrumentHeader - 1; }
    qsizetype samples() const { return shdr.size() / kSampleHeader - 1; }

    // The records [from, to) that record `index` of `table` owns in the next table,
    // checked to lie within it.
    static bool range(const QByteArray &table, int recordSize, int indexAt, qsizetype index, qsizetype nextRecords,
                      int &from, int &to)
    {
        from = get16(table, index * recordSize + indexAt);
        to = get16(table, (index + 1) * recordSize + indexAt);
        return from <= to && to <= nextRecords;
    }
};

std::unique_ptr<SoundFontSubset> SoundFontSubset::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray riff = file.read(12);
    if (riff.size() != 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "sfbk")
        return nullptr;
    auto parts = std::make_unique<Parts>();
    parts->path = path;
    QByteArray pdta;
    const qint64 end = std::min<qint64>(file.size(), 8 + qint64(get32(riff, 4)));
    for (qint64 at = 12; at + 12 <= end;) {
        if (!file.seek(at))
            return nullptr;
        const QByteArray header = file.read(12);
        if (header.size() != 12)
            return nullptr;
        const qint64 size = get32(header, 4);
        const qint64 whole = 8 + size + (size % 2);
        if (at + 8 + size > end)
            return nullptr;
        if (header.startsWith("LIST") && size >= 4) {
            const QByteArray type = header.mid(8, 4);
            if (type == "INFO") {
                file.seek(at);
                parts->info = file.read(whole);
            } else if (type == "sdta") {
                parts->samplesAt = at;
                parts->samplesSize = std::min(whole, end - at);
            } else if (type == "pdta") {
                pdta = file.read(size - 4);
            }
        }
        at += whole;
    }
    if (parts->info.isEmpty() || parts->samplesSize == 0 || pdta.isEmpty())
        return nullptr;

    struct Table
    {
        const char *id;
        QByteArray *records;
        int recordSize;
    };
    const Table tables[] = {{"phdr", &parts->phdr, kPresetHeader}, {"pbag", &parts->pbag, kBag},
                            {"pmod", &parts->pmod, kModulator},    {"pgen", &parts->pgen, kGenerator},
                            {"inst", &parts->inst, kInstrumentHeader}, {"ibag", &parts->ibag, kBag},
                            {"imod", &parts->imod, kModulator},    {"igen", &parts->igen, kGenerator},
                            {"shdr", &parts->shdr, kSampleHeader}};
    for (qsizetype at = 0; at + 8 <= pdta.size();) {
        const qsizetype size = get32(pdta, at + 4);
        if (at + 8 + size > pdta.size())
            return nullptr;
        for (const Table &table : tables) {
            if (pdta.mid(at, 4) == table.id)
                *table.records = pdta.mid(at + 8, size);
        }
        at += 8 + size + (size % 2);
    }
    // Each ends in a terminal record.
    for (const Table &table : tables) {
        if (table.records->isEmpty() || table.records->size() % table.recordSize != 0)
            return nullptr;
    }
    return std::unique_ptr<SoundFontSubset>(new SoundFontSubset(std::move(parts)));
}

SoundFontSubset::SoundFontSubset(std::unique_ptr<Parts> parts)
    : m_parts(std::move(parts))
{
}

SoundFontSubset::~SoundFontSubset()
{
    forget();
}

void SoundFontSubset::forget()
{
    std::lock_guard lock(imagesMutex);
    images.erase(m_name.toStdString());
    m_name.clear();
}

QString SoundFontSubset::cut(const QList<Preset> &presets)
{
    const Parts &p = *m_parts;
    QByteArray phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr;
    std::map<int, int> instrumentIndex, sampleIndex;
    std::vector<int> instrumentsKept, samplesKept;
    auto keep = [](std::map<int, int> &index, std::vector<int> &kept, int old) {
        const auto [at, added] = index.emplace(old, int(kept.size()));
        if (added)
            kept.push_back(old);
        return at->second;
    };
    // Copies the bags [from, to) of one table with their generators and modulators,
    // renumbering the generator that refers to the next level down.
    auto copyBags = [&](const QByteArray &bags, const QByteArray &gens, const QByteArray &mods, int from, int to,
                        QByteArray &newBags, QByteArray &newGens, QByteArray &newMods, quint16 referring,
                        qsizetype referable, std::map<int, int> &index, std::vector<int> &kept) {
        for (int bag = from; bag < to; ++bag) {
            int genFrom, genTo, modFrom, modTo;
            if (!Parts::range(bags, kBag, 0, bag, gens.size() / kGenerator - 1, genFrom, genTo)
                || !Parts::range(bags, kBag, 2, bag, mods.size() / kModulator - 1, modFrom, modTo))
                return false;
            QByteArray record(kBag, '\0');
            set16(record, 0, quint16(newGens.size() / kGenerator));
            set16(record, 2, quint16(newMods.size() / kModulator));
            newBags += record;
            for (int gen = genFrom; gen < genTo; ++gen) {
                QByteArray generator = gens.mid(gen * kGenerator, kGenerator);
                if (get16(generator, 0) == referring) {
                    const int old = get16(generator, 2);
                    if (old >= referable)
                        return false;
                    set16(generator, 2, quint16(keep(index, kept, old)));
                }
                newGens += generator;
            }
            newMods += mods.mid(modFrom * kModulator, (modTo - modFrom) * kModulator);
        }
        return true;
    };
    auto terminals = [](QByteArray &bags, QByteArray &gens, QByteArray &mods) {
        QByteArray record(kBag, '\0');
        set16(record, 0, quint16(gens.size() / kGenerator));
        set16(record, 2, quint16(mods.size() / kModulator));
        bags += record;
        gens += QByteArray(kGenerator, '\0');
        mods += QByteArray(kModulator, '\0');
    };

    QList<Preset> taken;
    for (qsizetype i = 0; i < p.presets(); ++i) {
        const Preset preset{get16(p.phdr, i * kPresetHeader + 22), get16(p.phdr, i * kPresetHeader + 20)};
        if (!presets.contains(preset) || taken.contains(preset))
            continue;  // FluidSynth too takes the first of two alike
        taken.append(preset);
        int from, to;
        if (!Parts::range(p.phdr, kPresetHeader, kPresetBagIndex, i, p.pbag.size() / kBag - 1, from, to))
            return {};
        QByteArray header = p.phdr.mid(i * kPresetHeader, kPresetHeader);
        set16(header, kPresetBagIndex, quint16(pbag.size() / kBag));
        phdr += header;
        if (!copyBags(p.pbag, p.pgen, p.pmod, from, to, pbag, pgen, pmod, kInstrumentGenerator, p.instruments(),
                      instrumentIndex, instrumentsKept))
            return {};
    }
    QByteArray endOfPresets = p.phdr.right(kPresetHeader);
    set16(endOfPresets, kPresetBagIndex, quint16(pbag.size() / kBag));
    phdr += endOfPresets;
    terminals(pbag, pgen, pmod);

    for (const int old : instrumentsKept) {
        int from, to;
        if (!Parts::range(p.inst, kInstrumentHeader, kInstrumentBagIndex, old, p.ibag.size() / kBag - 1, from, to))
            return {};
        QByteArray header = p.inst.mid(old * kInstrumentHeader, kInstrumentHeader);
        set16(header, kInstrumentBagIndex, quint16(ibag.size() / kBag));
        inst += header;
        if (!copyBags(p.ibag, p.igen, p.imod, from, to, ibag, igen, imod, kSampleIdGenerator, p.samples(), sampleIndex,
                      samplesKept))
            return {};
    }
    QByteArray endOfInstruments = p.inst.right(kInstrumentHeader);
    set16(endOfInstruments, kInstrumentBagIndex, quint16(ibag.size() / kBag));
    inst += endOfInstruments;
    terminals(ibag, igen, imod);

    // A stereo sample's partner comes along; the list grows as it is read.
    for (size_t i = 0; i < samplesKept.size(); ++i) {
        QByteArray header = p.shdr.mid(samplesKept[i] * kSampleHeader, kSampleHeader);
        const int link = get16(header, kSampleLink);
        if ((get16(header, kSampleType) & kLinkedTypes) && link < p.samples())
            set16(header, kSampleLink, quint16(keep(sampleIndex, samplesKept, link)));
        shdr += header;
    }
    shdr += p.shdr.right(kSampleHeader);

    auto image = std::make_shared<Image>();
    image->path = p.path;
    image->samplesAt = p.samplesAt;
    image->samplesSize = p.samplesSize;
    image->tail = chunk("LIST", "pdta" + chunk("phdr", phdr) + chunk("pbag", pbag) + chunk("pmod", pmod)
                                    + chunk("pgen", pgen) + chunk("inst", inst) + chunk("ibag", ibag)
                                    + chunk("imod", imod) + chunk("igen", igen) + chunk("shdr", shdr));
    image->head = "RIFF" + le32(quint32(4 + p.info.size() + p.samplesSize + image->tail.size())) + "sfbk" + p.info;

    forget();
    m_name = QStringLiteral("soundfont-subset-%1").arg(++imagesMade);
    std::lock_guard lock(imagesMutex);
    images[m_name.toStdString()] = std::move(image);
    return m_name;
}

void SoundFontSubset::installFor(void *loader)
{
    fluid_sfloader_set_callbacks(static_cast<fluid_sfloader_t *>(loader), openImage, readImage, seekImage, tellImage,
                                 closeImage);
}
