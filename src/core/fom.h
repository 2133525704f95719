#pragma once

#include "core/shared_module.h"
#include "platform/textfiles.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class AlbumLock;
class CommandButton;
class GameTimer;
class Label;
class ListBox;
class MessageBoxes;
class PictureBox;
class RandomSource;
class SoundDevice;
class WindowFrame;

// What the window needs from outside: its folder and the sources of chance,
// answers and sound, injected so that tests can script them.
struct FomServices
{
    QString appDir;  // the folder that holds the data set: img/, bgm/ and txt/
    RandomSource *random = nullptr;
    MessageBoxes *messages = nullptr;
    SoundDevice *sound = nullptr;
    QString albumPath;  // the eternal album's file; empty for txt/abm.dat in appDir
    // Read instead while albumPath does not exist yet (an album beside a game
    // whose own folder cannot be written); never written.
    QString startingAlbumPath;
};

// The game's one window. It owns all game state and every control for the life of
// the process; every behaviour is one of its event handlers.
class Fom : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kPlaces = 3;
    static constexpr int kKinds = 30;
    static constexpr int kFilm = 100;
    static constexpr int kGoodEndingMoney = 5000;
    // ComMove's buttons.
    enum CameraButton { Shutter, View, Develop, Judge, Send };

    explicit Fom(const FomServices &services, QWidget *parent = nullptr);
    ~Fom() override;

    // Start-up. False when the game must not go on: the creature names cannot be
    // read, the album is there but cannot be read or locked (the message has been
    // shown), or another game has the album (see anotherGameIsOpen). The window
    // must not be shown then, and closing it saves nothing.
    bool Form_Load();
    // Start-up found another game on this album: it was asked to come to the front
    // or, when it could not be reached, the player was told.
    bool anotherGameIsOpen() const { return m_anotherGameOpen; }
    // A new game.
    void Form_Activate();
    // Shut-down: saves the eternal album and closes the music.
    void Form_Unload();
    // Closes the game when the player is not there to answer: a session ending, a
    // signal. A save that fails then says so on standard error, not in a box.
    void closeUnattended();
    // The proportional layout pass.
    void Form_Resize();

    // --- Game state ---
    QString PathApp;
    QString PathImg;
    QString PathTxt;
    QString PathBgm;
    int FileNo = 0;
    QString LineBuf;
    std::array<std::int16_t, 3> TxtRgb{};
    std::array<std::int16_t, kPlaces> PlacePoint{};
    std::int16_t SyasinCnt = 0;
    std::int32_t Money = 0;
    std::array<QString, kKinds + 1> BeastName;
    std::array<bool, kKinds + 1> BeastKnown{};
    QString NowBeast;
    bool EndFlg = false;

    // --- Controls ---
    GameTimer *TimLbl = nullptr;
    CommandButton *ComNext = nullptr;
    PictureBox *BakMove = nullptr;
    std::array<ListBox *, 4> Lst{};
    std::array<CommandButton *, 5> ComMove{};
    Label *LblSyasin = nullptr;
    Label *LblMoney = nullptr;
    PictureBox *BakCom = nullptr;
    std::array<CommandButton *, 4> Com{};
    PictureBox *BakSee = nullptr;
    GameTimer *BgmTim = nullptr;
    PictureBox *E = nullptr;
    PictureBox *Pic = nullptr;
    Label *LblSee = nullptr;
    Label *Lbl = nullptr;

    // Shut-down could not save the album (the old file is still there).
    bool albumSaveFailed() const { return m_albumSaveFailed; }

    共用関数 &shared() { return m_shared; }
    TextFiles &files() { return m_files; }

    // Story texts.
    void TxtPlay(const QString &key);
    void TxtStop();
    // One page; false when the read failed before a page could be gathered.
    bool ComNext_Click();
    void ComNext_MouseDown(int button);
    void TimLbl_Timer();

    // Puts the picture of a creature into Pic, or repaints the held one for "".
    void PicShow(const QString &key);
    // Paints the picture E holds into Pic, stretched to its present inner size;
    // false when E holds none. Pic calls for it whenever its surface starts anew,
    // so a press, a resize or a panel shown again never leaves an empty frame.
    bool paintHeldPicture();

    // Wandering.
    void Com_Click(int index);
    // The camera and the professor.
    void ComMove_Click(int index);
    // After each change the player makes to the album: it reaches the disk at once,
    // so that a kill, a crash or a lost display loses nothing that was sent.
    void albumChanged();
    // Money: adds `amount` (negative to spend), caps the total, shows it.
    void m_henka(std::int32_t amount);
    // The album lists.
    void Lst_Click(int index);
    void Lst_MouseDown(int index, int button);
    // Music and cries.
    void BgmTim_Timer();
    void Pic_Click();
    void Pic_MouseDown(int button);
    void Pic_MouseUp(int button);

    // Outer size and place of the window, in twips.
    double outerHeightTwips() const;
    double outerWidthTwips() const;
    double leftTwips() const;
    double topTwips() const;

protected:
    void showEvent(QShowEvent *event) override;
    void firstActivation();
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void connectEvents();
    void setTabOrder();
    bool loadNames();
    bool lockAlbum();
    bool loadAlbum();
    bool saveAlbum();
    // One save and, should it fail, one more with a fresh file number.
    bool storeAlbum();
    void tellSaveFailed();
    void comeToFront();
    static void saveAtExit();
    void setOuterHeightTwips(double height);
    void placeAtStartUp();
    void setOuterWidthTwips(double width);
    void moveToTwips(double left, double top);
    void placeInWindow(QWidget *control, double left, double top, double width, double height);
    void takePhotograph();
    void withSelectedPhotograph(int index);
    void viewPhotograph(const QString &status, const QString &key);
    void developPhotograph(int selected, const QString &status, const QString &key);
    void judgePhotograph(const QString &status, const QString &key);
    void sendPhotograph(int selected, const QString &status, const QString &key);
    QString description(const QString &key);

    FomServices m_services;
    RandomSource &m_random;
    MessageBoxes &m_messages;
    共用関数 m_shared;
    TextFiles m_files;
    QString m_albumPath;
    QString m_albumReadFrom;  // the file the album was loaded from
    // The start-up height (twips) is an outer height, frame included, and a window
    // manager adds the frame only some time after the window is shown: once it is
    // there the window is sized and placed again, as the layout pass would have
    // placed it, and again (a few times at most) while the window manager's
    // answers leave it elsewhere.
    double m_startHeight = 0;
    int m_startUpTries = 0;
    WindowFrame *m_frame = nullptr;
    bool m_activated = false;
    bool m_unloaded = false;
    bool m_albumNeedsBackup = false;
    bool m_albumSaveFailed = false;
    std::unique_ptr<AlbumLock> m_lock;
    bool m_anotherGameOpen = false;
    // Start-up read the album and took it: from then on, and only then, the lists are its rows.
    bool m_albumLoaded = false;
    bool m_albumDirty = false;  // the lists hold what the file does not yet
    bool m_saveFailureTold = false;
    bool m_unattended = false;
};

// Mouse buttons as the game numbers them.
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
constexpr int kMiddleButton = 4;
int buttonNumber(Qt::MouseButton button);
