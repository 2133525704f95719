#include "support/gamefixture.h"

#include "platform/codepage.h"
#include "platform/picturebox.h"
#include "screen/controls.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// Two pages of two lines each ("<key> p<n> 一", "<key> p<n> 二"), closed by an
// empty line and one more line.
QStringList story(const QString &key)
{
    QStringList lines;
    for (int p = 1; p <= 2; ++p)
        lines << QStringLiteral("%1 p%2 一").arg(key).arg(p) << QStringLiteral("%1 p%2 二").arg(key).arg(p)
              << QString();
    lines << QStringLiteral("おわり");
    return lines;
}

} // namespace

GameFixture::GameFixture(std::unique_ptr<AudioBackend> device)
{
    auto backend = std::make_unique<RecordingBackend>(std::move(device));
    m_backend = backend.get();
    m_sound = std::make_unique<SoundDevice>(std::move(backend));
    for (const char *folder : {"txt", "img", "bgm"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
    writeLines(QStringLiteral("txt/name.dat"), names());
    for (const char *key : {"opn", "goodend", "badend"})
        writeLines(QStringLiteral("txt/%1.dat").arg(QLatin1String(key)), story(QLatin1String(key)));
}

GameFixture::~GameFixture()
{
    if (m_window)
        m_window->hide();
    m_window.reset();
}

QString GameFixture::path(const QString &relative) const
{
    return m_dir.filePath(relative);
}

void GameFixture::writeLines(const QString &relative, const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += codepage::encode(line) + "\r\n";
    writeBytes(relative, bytes);
}

void GameFixture::writeBytes(const QString &relative, const QByteArray &bytes)
{
    QFile file(path(relative));
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray GameFixture::readBytes(const QString &relative) const
{
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void GameFixture::remove(const QString &relative)
{
    QFile::remove(path(relative));
}

QStringList GameFixture::names()
{
    QStringList result;
    for (int i = 0; i < Fom::kKinds; ++i)
        result << QStringLiteral("生き物%1").arg(i, 2, 10, QLatin1Char('0'));
    return result;
}

Fom &GameFixture::window()
{
    if (!m_window)
        m_window = std::make_unique<Fom>(
            FomServices{m_dir.path(), &random, boxes, m_sound.get(), albumPath, startingAlbumPath});
    return *m_window;
}

bool GameFixture::load()
{
    return window().Form_Load();
}

void GameFixture::start()
{
    QVERIFY(load());
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    // The first game starts just after the window is up and resets the counter.
    QTRY_COMPARE(window().LblSyasin->caption(), QStringLiteral("0枚／100枚"));
}

void GameFixture::restart()
{
    if (m_window) {
        m_window->close();
        m_window.reset();
    }
    start();
}

void GameFixture::startPlaying()
{
    start();
    window().ComNext_MouseDown(2);
    QVERIFY(window().BakMove->isVisibleTo(&window()));
}

void GameFixture::writePicture(const QString &key, const char *format, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(30, 140, 60));
    for (int y = 0; y < size.height() / 2; ++y)
        for (int x = 0; x < size.width() / 2; ++x)
            image.setPixelColor(x, y, QColor(240, 200, 40));
    QVERIFY(image.save(path(QStringLiteral("img/") + key + QStringLiteral(".dat")), format));
}

void selectRow(ListBox *list, int row, Qt::MouseButton button)
{
    QTest::mouseClick(list->viewport(), button, {}, list->visualItemRect(list->item(row)).center());
}

bool blank(const PictureBox *box)
{
    const QImage &surface = box->surface();
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x)
            if (qAlpha(surface.pixel(x, y)) != 0)
                return false;
    return true;
}
