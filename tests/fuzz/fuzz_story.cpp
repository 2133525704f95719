#include "fuzzing.h"

#include "screen/controls.h"
#include "support/gamefixture.h"

// Any opening text, paged as the player pages it: every page is made of the
// file's lines, the text comes to an end within as many presses as it has lines,
// and nothing stays open after it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    GameFixture &game = fuzzing::game();
    Fom &w = game.window();
    const QByteArray bytes = fuzzing::bytes(data, size);
    game.writeBytes(QStringLiteral("txt/opn.dat"), bytes);
    game.messages.shown.clear();

    w.TxtPlay(QStringLiteral("opn"));
    const qsizetype presses = bytes.count('\r') + bytes.count('\n') + 2;
    for (qsizetype i = 0; i < presses && w.ComNext->isVisibleTo(&w); ++i) {
        fuzzing::check(w.Lbl->caption().size() <= 2 * (bytes.size() + 2), "a page is made of the file's lines");
        if (!w.ComNext_Click())
            w.TxtStop();
    }
    fuzzing::check(!w.ComNext->isVisibleTo(&w), "the text ends");
    fuzzing::check(!w.files().isOpen(w.FileNo), "the story file is closed");
    fuzzing::check(game.messages.shown.size() <= 1, "at most the one \"not found\" box");
    return 0;
}
