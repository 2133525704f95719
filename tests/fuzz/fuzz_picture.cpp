#include "fuzzing.h"

#include "platform/picturebox.h"
#include "support/gamefixture.h"

// Any bytes as a creature's picture: shown stretched when they are a picture,
// and a blank box, never the creature before, when they are not.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    GameFixture &game = fuzzing::game();
    Fom &w = game.window();
    game.writeBytes(QStringLiteral("img/00.dat"), fuzzing::bytes(data, size));
    w.Pic->resize(40, 30);
    w.PicShow(QStringLiteral("00"));
    fuzzing::check(!w.E->picture().isNull() || blank(w.Pic), "no picture leaves the box blank");
    w.PicShow(QString());  // the layout's repaint at the present size
    return 0;
}
