#include "core/fom.h"

#include "camera/rules.h"
#include "core/albumfile.h"
#include "core/albumlock.h"
#include "platform/gametimer.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "platform/random.h"
#include "platform/twips.h"
#include "platform/windowframe.h"
#include "screen/controls.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdlib>

Q_LOGGING_CATEGORY(lcAlbum, "shashin.album", QtWarningMsg)

namespace {

// The game whose album is saved should the process end without closing it: the
// platform ends the process with exit() when the display goes away.
Fom *runningGame = nullptr;

QString withTrailingSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace

Fom::Fom(const FomServices &services, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
    , m_random(*services.random)
    , m_messages(*services.messages)
    , m_shared(*services.sound)
{
    createControls();
    connectEvents();
    m_frame = new WindowFrame(this);
    // On X11 the frame is known when the window manager notes it.
    connect(m_frame, &WindowFrame::changed, this, &Fom::placeAtStartUp);
}

Fom::~Fom()
{
    if (runningGame == this)
        runningGame = nullptr;
}

void Fom::connectEvents()
{
    connect(ComNext, &CommandButton::clicked, this, [this] {
        if (!ComNext_Click())  // the story file went away under us: end the text
            TxtStop();
    });
    connect(ComNext, &CommandButton::mouseDown, this,
            [this](Qt::MouseButton button) { ComNext_MouseDown(buttonNumber(button)); });
    connect(TimLbl, &GameTimer::timeout, this, &Fom::TimLbl_Timer);

    for (int i = 0; i < static_cast<int>(Com.size()); ++i)
        connect(Com[i], &CommandButton::clicked, this, [this, i] { Com_Click(i); });
    for (int i = 0; i < static_cast<int>(ComMove.size()); ++i)
        connect(ComMove[i], &CommandButton::clicked, this, [this, i] { ComMove_Click(i); });
    for (int i = 0; i < static_cast<int>(Lst.size()); ++i) {
        connect(Lst[i], &ListBox::listClicked, this, [this, i] { Lst_Click(i); });
        connect(Lst[i], &ListBox::mouseDown, this,
                [this, i](Qt::MouseButton button) { Lst_MouseDown(i, buttonNumber(button)); });
    }

    connect(BgmTim, &GameTimer::timeout, this, &Fom::BgmTim_Timer);
    connect(Pic, &PictureBox::surfaceReset, this, &Fom::paintHeldPicture);
    connect(Pic, &PictureBox::clicked, this, &Fom::Pic_Click);
    connect(Pic, &PictureBox::mouseDown, this, [this](Qt::MouseButton button) { Pic_MouseDown(buttonNumber(button)); });
    connect(Pic, &PictureBox::mouseUp, this, [this](Qt::MouseButton button) { Pic_MouseUp(buttonNumber(button)); });
    BgmTim->setEnabled(true);
}

bool Fom::Form_Load()
{
    PathApp = withTrailingSlash(m_services.appDir);
    PathImg = PathApp + QStringLiteral("img/");
    PathBgm = PathApp + QStringLiteral("bgm/");
    PathTxt = PathApp + QStringLiteral("txt/");
    m_albumPath = m_services.albumPath.isEmpty() ? PathTxt + QStringLiteral("abm") + QStringLiteral(".dat")
                                                 : m_services.albumPath;
    if (!lockAlbum())
        return false;

    m_shared.OpenMidi(PathBgm + QStringLiteral("bgm.mid"));
    m_shared.MusicOn = true;
    m_shared.PlayMidi();

    // The random source was seeded from the clock when it was made, once per run.

    // A save that was killed half-way left its unfinished copy beside the file it
    // replaces; with the album locked, no other game's save is in progress there.
    const QFileInfo replaced(TextFiles::replacedPath(m_albumPath));
    TextFiles::removeStaleTemporaries(replaced.absolutePath(), [&replaced](const QString &name) {
        return name.startsWith(replaced.fileName());
    });
    if (!loadNames() || !loadAlbum()) {
        m_shared.CloseMidi();
        m_lock.reset();
        return false;
    }
    m_albumLoaded = true;

    static const bool atExit = std::atexit(&Fom::saveAtExit) == 0;
    if (atExit)
        runningGame = this;

    const QSizeF screen = twips::screenSize(this);
    m_startHeight = static_cast<float>(static_cast<float>(screen.height()) / 10 * 8);
    m_startUpTries = 3;
    setOuterHeightTwips(m_startHeight);
    return true;
}

bool Fom::lockAlbum()
{
    m_lock = std::make_unique<AlbumLock>(m_albumPath);
    switch (m_lock->lock()) {
    case AlbumLock::Held:
        connect(m_lock.get(), &AlbumLock::raiseRequested, this, &Fom::comeToFront);
        return true;
    case AlbumLock::Unavailable:
        // Unguarded, another game could undo this one's sends, or this one its.
        m_messages.show(m_lock->folder() + QStringLiteral(" の永遠アルバムにロックを掛けられません（") + m_lock->failure()
                            + QStringLiteral("）。\r\n") + QStringLiteral("アルバムには手を付けずに終わります。"),
                        MessageBoxes::Ok);
        m_lock.reset();
        return false;
    case AlbumLock::HeldElsewhere:
        break;
    }
    m_anotherGameOpen = true;
    if (!m_lock->raiseHolder()) {
        m_messages.show(QStringLiteral("写真はもう開いています。\r\n") + QStringLiteral("同じ永遠アルバム（") + m_albumPath
                            + QStringLiteral("）で二つの写真を遊ぶことはできません。"),
                        MessageBoxes::Ok);
    }
    m_lock.reset();
    return false;
}

void Fom::comeToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

bool Fom::loadNames()
{
    const QString path = PathTxt + QStringLiteral("name") + QStringLiteral(".dat");
    FileNo = m_files.nextFree();
    bool ok = m_files.openForReading(FileNo, path);
    int withComma = 0;  // a name is the first field of an album line: it cannot hold ","
    for (int i = 0; ok && i < kKinds; ++i) {
        ok = m_files.readLine(FileNo, LineBuf);
        if (ok)
            BeastName[i] = LineBuf;
        if (ok && withComma == 0 && LineBuf.contains(u','))
            withComma = i + 1;
    }
    m_files.close(FileNo);
    if (!ok) {
        m_messages.show(path + QStringLiteral(" を読み込めません。\r\n")
                            + QStringLiteral("生き物の名前が 30 行そろったファイルが必要です。"),
                        MessageBoxes::Ok);
    } else if (withComma > 0) {
        m_messages.show(path + QStringLiteral(" の ") + QString::number(withComma)
                            + QStringLiteral(" 行目の名前に「,」があります。\r\n")
                            + QStringLiteral("名前に「,」は使えません。"),
                        MessageBoxes::Ok);
    }
    return ok && withComma == 0;
}

bool Fom::loadAlbum()
{
    FileNo = m_files.nextFree();
    m_albumReadFrom = m_albumPath;
    const QFileInfo album(m_albumPath);
    if (!album.exists() && !album.isSymLink() && !m_services.startingAlbumPath.isEmpty())
        m_albumReadFrom = m_services.startingAlbumPath;
    if (!m_files.openForReading(FileNo, m_albumReadFrom)) {
        const QString why = m_files.readFailure();
        if (why.isEmpty())
            return true;  // no album yet: it starts empty
        // Played on, the game would replace an album it never saw with an empty one.
        qCWarning(lcAlbum).noquote() << m_albumReadFrom << "cannot be read:" << why;
        m_messages.show(m_albumReadFrom + QStringLiteral(" の永遠アルバムを読み込めません（") + why
                            + QStringLiteral("）。\r\n") + QStringLiteral("アルバムには手を付けずに終わります。"),
                        MessageBoxes::Ok);
        return false;
    }
    QList<AlbumRow> rows;
    const bool whole = readAlbum(m_files, FileNo, LineBuf, rows);
    for (const AlbumRow &row : std::as_const(rows)) {
        Lst[2]->addRow(row.name);
        Lst[3]->addRow(row.key);
    }
    m_files.close(FileNo);
    // The game plays on with what it could read; the file as it was is kept
    // before anything replaces it.
    if (!whole) {
        m_albumNeedsBackup = !backUpAlbum(m_albumReadFrom, m_albumPath);
        qCWarning(lcAlbum).noquote() << m_albumReadFrom << "holds lines that cannot be kept:"
                                     << (m_albumNeedsBackup ? "no copy could be made, it will not be replaced"
                                                            : "a copy is kept beside it");
    }
    return true;
}

void Fom::Form_Activate()
{
    PlacePoint.fill(0);
    BeastKnown.fill(false);
    Money = 0;
    SyasinCnt = 0;
    LblSyasin->setCaption(filmCaption(0, kFilm));
    LblMoney->setCaption(moneyCaption(0));
    EndFlg = false;
    for (int i = 0; i <= 1; ++i)
        Lst[i]->clearRows();
    TxtPlay(QStringLiteral("opn"));
}

void Fom::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    TimLbl->setEnabled(false);
    BgmTim->setEnabled(false);

    m_files.close(FileNo);
    // The old album stays until a save succeeds, and one never seen is never saved over.
    if (m_albumLoaded && !storeAlbum()) {
        m_albumSaveFailed = true;
        tellSaveFailed();
    }
    m_shared.CloseMidi();
}

void Fom::closeUnattended()
{
    m_unattended = true;
    close();
}

void Fom::albumChanged()
{
    m_albumDirty = true;
    if (storeAlbum() || m_saveFailureTold)
        return;
    m_saveFailureTold = true;  // once; the next change and the close try again
    tellSaveFailed();
}

bool Fom::storeAlbum()
{
    const bool saved = saveAlbum() || saveAlbum();
    m_albumDirty = !saved;
    if (saved)
        m_saveFailureTold = false;
    return saved;
}

void Fom::tellSaveFailed()
{
    QString text = m_albumPath + QStringLiteral(" に永遠アルバムを保存できませんでした。\r\n")
                   + QStringLiteral("前に保存したアルバムはそのまま残っています。");
    if (!m_unattended) {
        m_messages.show(text, MessageBoxes::Ok);
        return;
    }
    // Nobody is there to answer a box.
    qCWarning(lcAlbum).noquote() << text.replace(QLatin1String("\r\n"), QLatin1String(" "));
}

void Fom::saveAtExit()
{
    Fom *game = runningGame;
    if (game == nullptr || game->m_unloaded || !game->m_albumDirty)
        return;
    game->m_unattended = true;
    if (game->storeAlbum())
        return;
    game->m_albumSaveFailed = true;
    game->tellSaveFailed();
    std::_Exit(1);
}

bool Fom::saveAlbum()
{
    // An album that did not load whole is never replaced before it is kept.
    if (m_albumNeedsBackup && backUpAlbum(m_albumReadFrom, m_albumPath))
        m_albumNeedsBackup = false;
    if (m_albumNeedsBackup)
        return false;
    QDir().mkpath(QFileInfo(m_albumPath).absolutePath());  // the player's own folder, at the first save
    FileNo = m_files.nextFree();
    QList<AlbumRow> rows;
    for (int i = 0; i < Lst[2]->listCount(); ++i)
        rows.append({Lst[2]->list(i), Lst[3]->list(i)});
    const bool ok = m_files.openForWriting(FileNo, m_albumPath) && writeAlbum(m_files, FileNo, rows);
    if (!ok) {
        m_files.close(FileNo);  // discards what was written; the old file stays
        return false;
    }
    return m_files.close(FileNo);
}

void Fom::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_activated)
        return;
    m_activated = true;
    QTimer::singleShot(0, this, &Fom::firstActivation);
}

void Fom::firstActivation()
{
    Form_Activate();
}

void Fom::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

int buttonNumber(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return kLeftButton;
    case Qt::RightButton:
        return kRightButton;
    case Qt::MiddleButton:
        return kMiddleButton;
    default:
        return 0;
    }
}
