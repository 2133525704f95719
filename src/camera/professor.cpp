#include "core/fom.h"

#include "core/albumfile.h"
#include "camera/rules.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "screen/controls.h"

namespace {

// The kind number of a key; anything that is not a key of play names the empty
// last kind, so a damaged row can never index past the tables.
int kindOf(const QString &key)
{
    bool ok = false;
    const int kind = key.toInt(&ok);
    return ok && kind >= 0 && kind < Fom::kKinds ? kind : Fom::kKinds;
}

} // namespace

void Fom::withSelectedPhotograph(int index)
{
    int selected = Lst[0]->listIndex();
    const QString status = Lst[0]->list(selected);
    const QString key = Lst[1]->list(selected);
    if (status.isEmpty()) {
        m_messages.show(QStringLiteral("獣が選ばれてないよ"), MessageBoxes::Ok);
        return;
    }
    switch (index) {
    case View:
        viewPhotograph(status, key);
        break;
    case Develop:
        developPhotograph(selected, status, key);
        break;
    case Judge:
        judgePhotograph(status, key);
        break;
    case Send:
        sendPhotograph(selected, status, key);
        break;
    default:
        break;
    }
    // The selection stays where it was, or on the new last row.
    if (selected == Lst[0]->listCount())
        --selected;
    Lst[0]->setListIndex(selected);
}

void Fom::viewPhotograph(const QString &status, const QString &key)
{
    if (status == kUndeveloped) {
        // Nothing to see yet: nor may a later repaint bring back the creature before.
        Pic->hide();
        E->setPicture(QImage());
    } else {
        PicShow(key);
    }
    // A reader names the picture as the player knows it.
    const bool unknown = status == kUnjudged || status == kUndeveloped;
    Pic->setAccessibleName(unknown ? QStringLiteral("写真") : status);
    if (unknown)
        LblSee->setCaption(QStringLiteral("これはなんの生物なのかな・・・"));
    else
        LblSee->setCaption(description(key));
    NowBeast = key;
    BakSee->show();
}

void Fom::developPhotograph(int selected, const QString &status, const QString &key)
{
    if (status != kUndeveloped) {
        Lbl->setCaption(QStringLiteral("それは現像できないよ"));
        return;
    }
    const int kind = kindOf(key);
    Lst[0]->removeRow(selected);
    Lst[0]->insertRow(selected, BeastKnown[kind] ? BeastName[kind] : kUnjudged);
    Lbl->setCaption(QStringLiteral("現像しておいたぞ"));
    m_henka(-10);
}

void Fom::judgePhotograph(const QString &status, const QString &key)
{
    const int kind = kindOf(key);
    if (status == kUndeveloped || BeastKnown[kind]) {
        Lbl->setCaption(QStringLiteral("それは判定できないよ"));
        return;
    }
    Lbl->setCaption(QStringLiteral("これは") + BeastName[kind] + QStringLiteral("だな。") + QStringLiteral("\r\n")
                    + QStringLiteral("よく見つけたね"));
    // Every developed photograph of the kind gets its name at once.
    const int rows = Lst[0]->listCount();
    for (int i = 0; i < rows; ++i) {
        if (Lst[0]->list(i) != kUndeveloped && Lst[1]->list(i) == key) {
            Lst[0]->removeRow(i);
            Lst[0]->insertRow(i, BeastName[kind]);
        }
    }
    BeastKnown[kind] = true;
    m_henka(-100);
}

void Fom::sendPhotograph(int selected, const QString &status, const QString &key)
{
    const Payment payment = paymentFor(status, key);
    bool albumGrew = false;
    if (status == kUndeveloped || status == kUnjudged) {
        Lst[0]->removeRow(selected);
        Lst[1]->removeRow(selected);
    } else {
        bool isNew = true;
        for (int i = 0; i < Lst[2]->listCount() && isNew; ++i)
            isNew = Lst[3]->list(i) != key;
        if (isNew) {
            Lst[2]->addRow(Lst[0]->list(selected));
            Lst[3]->addRow(Lst[1]->list(selected));
            albumGrew = true;
        }
        Lst[0]->removeRow(selected);
        Lst[1]->removeRow(selected);
    }
    Lbl->setCaption(payment.words + QStringLiteral("\r\n") + QString::number(payment.amount)
                    + QStringLiteral("円支払おう"));
    m_henka(payment.amount);
    if (albumGrew)
        albumChanged();
}

QString Fom::description(const QString &key)
{
    // Every line, each after a line break; a missing description is an empty one.
    QString text;
    if (!isCreatureKey(key) || !m_files.openForReading(FileNo, PathTxt + key + QStringLiteral(".dat")))
        return text;
    while (!m_files.atEnd(FileNo) && m_files.readLine(FileNo, LineBuf))
        text += QStringLiteral("\r\n") + LineBuf;
    m_files.close(FileNo);
    return text;
}
