#include "sound/midifile.h"

#include "platform/regularfile.h"

#include <algorithm>
#include <cstring>

namespace {

// The player keeps at most this many tracks and fails the whole file beyond it.
constexpr int kMaxTracks = 128;
// Far above any game score; keeps a wrong file from being read into memory whole.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

quint32 bigEndian32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

quint16 bigEndian16(const uchar *p)
{
    return quint16(p[0] << 8 | p[1]);
}

// Reads one track chunk the way the player will, but never past the chunk's end.
class TrackReader
{
public:
    TrackReader(const uchar *data, quint32 length, QList<MidiProgram> *programs)
        : m_data(data)
        , m_length(length)
        , m_programs(programs)
    {
    }

    bool readable()
    {
        quint32 delta = 0;  // the time before each event
        while (m_pos < m_length) {
            if (!readVariableLength(delta))
                return false;
            if (m_pos >= m_length)
                return false;
            int status = m_data[m_pos];
            if (status & 0x80) {
                ++m_pos;
            } else {
                // Running status carries over from channel messages only.
                if (m_running == 0)
                    return false;
                status = m_running;
            }
            if (status == 0xF0 || status == 0xF7) {
                m_running = 0;
                if (!skipData())
                    return false;
            } else if (status == 0xFF) {
                m_running = 0;
                if (m_pos >= m_length)
                    return false;
                const int type = m_data[m_pos++];
                if (!skipData())
                    return false;
                if (type == 0x2F)  // end of track: the player reads no further
                    return true;
            } else if (status >= 0xF0) {
                return false;  // system messages have no place in a file
            } else {
                m_running = status;
                const int kind = status & 0xF0;
                const quint32 dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
                if (m_length - m_pos < dataBytes)
                    return false;
                if (kind == 0xC0 && m_programs) {
                    const MidiProgram program{status & 0x0F, m_data[m_pos] & 0x7F};
                    if (!m_programs->contains(program))
                        m_programs->append(program);
                }
                m_pos += dataBytes;
            }
        }
        return true;  // a track may also simply run to its chunk's end
    }

private:
    bool readVariableLength(quint32 &value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (m_pos >= m_length)
                return false;
            const uchar c = m_data[m_pos++];
            value = (value << 7) | (c & 0x7F);
            if (!(c & 0x80))
                return true;
        }
        return false;  // more than four bytes
    }

    bool skipData()
    {
        quint32 size = 0;
        if (!readVariableLength(size) || m_length - m_pos < size)
            return false;
        m_pos += size;
        return true;
    }

    const uchar *m_data;
    quint32 m_length;
    QList<MidiProgram> *m_programs;
    quint32 m_pos = 0;
    int m_running = 0;
};

} // namespace

bool isPlayableMidi(const QByteArray &bytes, QList<MidiProgram> *programs)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const quint64 size = quint64(bytes.size());
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0 || bigEndian32(data + 4) != 6)
        return false;
    const int format = bigEndian16(data + 8);
    const int tracks = bigEndian16(data + 10);
    const int division = bigEndian16(data + 12);
    // SMPTE time (top bit of the division) is not played.
    if (format > 2 || tracks == 0 || tracks > kMaxTracks || division == 0 || (division & 0x8000))
        return false;

    quint64 pos = 14;
    int found = 0;
    while (found < tracks) {
        if (size - pos < 8)
            return false;
        const uchar *id = data + pos;
        const quint32 length = bigEndian32(data + pos + 4);
        pos += 8;
        if (size - pos < length)
            return false;
        if (std::memcmp(id, "MTrk", 4) == 0) {
            if (!TrackReader(data + pos, length, programs).readable())
                return false;
            ++found;
        } else {
            for (int i = 0; i < 4; ++i) {
                if (id[i] & 0x80)  // not a chunk name: the file is damaged
                    return false;
            }
        }
        pos += length;
    }
    return true;
}

QByteArray readPlayableMidi(const QString &path)
{
    // The one reader of the game's files: a FIFO or a device is refused, not waited on by the audio thread.
    const FileRead file = readRegularFile(path, kMaxFileBytes);
    if (!file.ok() || !isPlayableMidi(file.bytes))
        return {};
    return file.bytes;
}
