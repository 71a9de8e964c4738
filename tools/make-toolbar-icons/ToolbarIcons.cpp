#include "ToolbarIcons.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <cmath>
#include <functional>
#include <numbers>
#include <utility>
#include <vector>

namespace ToolbarIcons {
namespace {

const QColor kInk(0x24, 0x32, 0x3F);
const QColor kCard(0x4D, 0x8F, 0xDC);
const QColor kCardBack(0x9F, 0xC3, 0xEE);
const QColor kChip(0xF2, 0xC1, 0x4E);
const QColor kGreen(0x2E, 0x9E, 0x4F);
const QColor kRed(0xD6, 0x45, 0x41);
const QColor kGold(0xE8, 0xB0, 0x2A);
const QColor kPaper(0xFB, 0xFB, 0xF7);
const QColor kPersonA(0x2A, 0x9D, 0x8F);
const QColor kPersonB(0xE5, 0x8E, 0x26);
const QColor kDoor(0xB5, 0x79, 0x3F);
const QColor kSteel(0x8A, 0x97, 0xA4);
const QColor kWall(0xC9, 0xD3, 0xDD);
constexpr qreal kLine = 1.6;

QPen ink(const QColor& color = kInk, qreal width = kLine)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// --- parts --------------------------------------------------------------------------------------

// A key card lying flat: rounded body, gold chip, contactless waves.
void card(QPainter& p, const QRectF& r, const QColor& fill = kCard)
{
    p.setPen(ink());
    p.setBrush(fill);
    p.drawRoundedRect(r, 2.5, 2.5);
    const qreal chipW = r.width() * 0.24;
    const qreal chipH = r.height() * 0.3;
    p.setPen(ink(kInk, 1.0));
    p.setBrush(kChip);
    p.drawRoundedRect(QRectF(r.left() + r.width() * 0.16, r.center().y() - chipH / 2, chipW, chipH), 1, 1);
    p.setPen(ink(Qt::white, 1.3));
    p.setBrush(Qt::NoBrush);
    const QPointF wave(r.right() - r.width() * 0.3, r.center().y());
    for (qreal radius : {2.6, 5.0})
        p.drawArc(QRectF(wave.x() - radius, wave.y() - radius, 2 * radius, 2 * radius), -45 * 16, 90 * 16);
}

// The same card drawn as a dashed outline: the card is not at hand.
void missingCard(QPainter& p, const QRectF& r)
{
    QPen dashed = ink(kSteel, 1.5);
    dashed.setDashPattern({2.0, 1.6});
    p.setPen(dashed);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r, 2.5, 2.5);
}

void cardStack(QPainter& p, const QRectF& front)
{
    card(p, front.translated(4, -4), kCardBack);
    card(p, front.translated(2, -2), kCardBack);
    card(p, front);
}

// A round badge at the lower right that names the action.
QPointF badge(QPainter& p, const QColor& fill, const QPointF& centre = {24, 24}, qreal radius = 6.5)
{
    p.setPen(QPen(Qt::white, 2.0));
    p.setBrush(fill);
    p.drawEllipse(centre, radius + 1.0, radius + 1.0);
    p.setPen(ink(kInk, 1.2));
    p.drawEllipse(centre, radius, radius);
    return centre;
}

void plusBadge(QPainter& p)
{
    const QPointF c = badge(p, kGreen);
    p.setPen(ink(Qt::white, 2.0));
    p.drawLine(c + QPointF(-3.3, 0), c + QPointF(3.3, 0));
    p.drawLine(c + QPointF(0, -3.3), c + QPointF(0, 3.3));
}

void crossBadge(QPainter& p)
{
    const QPointF c = badge(p, kRed);
    p.setPen(ink(Qt::white, 2.0));
    p.drawLine(c + QPointF(-2.8, -2.8), c + QPointF(2.8, 2.8));
    p.drawLine(c + QPointF(-2.8, 2.8), c + QPointF(2.8, -2.8));
}

void eyeBadge(QPainter& p)
{
    const QPointF c = badge(p, kPaper);
    QPainterPath almond;
    almond.moveTo(c + QPointF(-4.6, 0));
    almond.quadTo(c + QPointF(0, -4.6), c + QPointF(4.6, 0));
    almond.quadTo(c + QPointF(0, 4.6), c + QPointF(-4.6, 0));
    p.setPen(ink(kInk, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(almond);
    p.setPen(Qt::NoPen);
    p.setBrush(kCard);
    p.drawEllipse(c, 1.9, 1.9);
    p.setBrush(kInk);
    p.drawEllipse(c, 0.9, 0.9);
}

void clockFace(QPainter& p, const QPointF& c, qreal r, qreal hourAngle = -60, qreal minuteAngle = 90)
{
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawEllipse(c, r, r);
    p.setPen(ink(kInk, 1.0));
    for (int i = 0; i < 12; i += 3) {
        const qreal a = i * std::numbers::pi / 6;
        p.drawLine(c + QPointF(std::sin(a), -std::cos(a)) * (r - 1.2),
                   c + QPointF(std::sin(a), -std::cos(a)) * (r - 2.6));
    }
    auto hand = [&](qreal degrees, qreal length, qreal width) {
        const qreal a = degrees * std::numbers::pi / 180;
        p.setPen(ink(kInk, width));
        p.drawLine(c, c + QPointF(std::sin(a), -std::cos(a)) * length);
    };
    hand(hourAngle, r * 0.5, 1.8);
    hand(minuteAngle, r * 0.72, 1.4);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(c, 1.2, 1.2);
}

void clockBadge(QPainter& p)
{
    clockFace(p, {24, 24}, 7, -60, 60);
}

// Head and shoulders; the head sits at (x, y).
void person(QPainter& p, const QPointF& head, qreal scale, const QColor& fill)
{
    p.setPen(ink());
    p.setBrush(fill);
    QPainterPath body;
    const qreal w = 7.0 * scale;
    const qreal top = head.y() + 4.2 * scale;
    body.moveTo(head.x() - w, top + 7.5 * scale);
    body.cubicTo(head.x() - w, top, head.x() + w, top, head.x() + w, top + 7.5 * scale);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(fill.lighter(135));
    p.drawEllipse(head, 3.6 * scale, 3.6 * scale);
}

void arrow(QPainter& p, const QPointF& from, const QPointF& to, const QColor& color = kInk, qreal width = 1.8)
{
    p.setPen(ink(color, width));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal length = std::hypot(d.x(), d.y());
    const QPointF u = d / length;
    const QPointF n(-u.y(), u.x());
    QPolygonF head{to + u * 1.2, to - u * 3.6 + n * 3.0, to - u * 3.6 - n * 3.0};
    p.setPen(ink(color, 1.0));
    p.setBrush(color);
    p.drawPolygon(head);
}

void door(QPainter& p, const QRectF& r, const QColor& fill = kDoor)
{
    p.setPen(ink());
    p.setBrush(fill);
    p.drawRect(r);
    p.setPen(ink(kInk, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(2, 2, -2, -r.height() * 0.55));
    p.setPen(Qt::NoPen);
    p.setBrush(kChip);
    p.drawEllipse(QPointF(r.right() - 2.3, r.center().y() + 1.5), 1.2, 1.2);
}

void paper(QPainter& p, const QRectF& r, int lines)
{
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setPen(ink(kSteel, 1.3));
    const qreal step = (r.height() - 6) / std::max(1, lines - 1);
    for (int i = 0; i < lines; ++i) {
        const qreal y = r.top() + 3 + i * step;
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - (i % 2 ? 5 : 3), y));
    }
}

void magnifier(QPainter& p, const QPointF& c, qreal r)
{
    p.setPen(ink(kInk, 3.0));
    p.drawLine(c + QPointF(r * 0.7, r * 0.7), c + QPointF(r * 1.75, r * 1.75));
    p.setPen(ink());
    QColor glass(0xDD, 0xEE, 0xFB, 230);
    p.setBrush(glass);
    p.drawEllipse(c, r, r);
    p.setPen(ink(Qt::white, 1.2));
    p.drawArc(QRectF(c.x() - r + 2, c.y() - r + 2, 2 * r - 4, 2 * r - 4), 100 * 16, 70 * 16);
}

void gear(QPainter& p, const QPointF& c, qreal outer, int teeth, const QColor& fill = kSteel)
{
    QPainterPath path;
    const qreal inner = outer * 0.74;
    const int points = teeth * 4;
    for (int i = 0; i < points; ++i) {
        const qreal a = (i - 0.5) * 2 * std::numbers::pi / points;
        const qreal radius = (i % 4 == 0 || i % 4 == 1) ? outer : inner;
        const QPointF pt = c + QPointF(std::cos(a), std::sin(a)) * radius;
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    path.addEllipse(c, outer * 0.32, outer * 0.32);
    path.setFillRule(Qt::OddEvenFill);
    p.setPen(ink());
    p.setBrush(fill);
    p.drawPath(path);
}

void padlock(QPainter& p, const QRectF& body)
{
    p.setPen(ink(kInk, 2.6));
    p.setBrush(Qt::NoBrush);
    const qreal w = body.width() * 0.62;
    const QRectF shackle(body.center().x() - w / 2, body.top() - w * 0.78, w, w * 1.3);
    p.drawArc(shackle, 0, 180 * 16);
    p.drawLine(QPointF(shackle.left(), shackle.center().y()), QPointF(shackle.left(), body.top()));
    p.drawLine(QPointF(shackle.right(), shackle.center().y()), QPointF(shackle.right(), body.top()));
    p.setPen(ink());
    p.setBrush(kGold);
    p.drawRoundedRect(body, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    const QPointF hole = body.center() - QPointF(0, 1);
    p.drawEllipse(hole, 1.8, 1.8);
    p.drawRect(QRectF(hole.x() - 0.8, hole.y(), 1.6, 4));
}

void key(QPainter& p)
{
    p.setPen(ink());
    p.setBrush(kGold);
    p.save();
    p.translate(9, 11);
    p.rotate(35);
    p.translate(-9, -11);
    QPainterPath blade;
    blade.moveTo(14, 9.5);
    blade.lineTo(29, 9.5);
    blade.lineTo(29, 13);
    blade.lineTo(27, 13);
    blade.lineTo(27, 16);
    blade.lineTo(24.5, 16);
    blade.lineTo(24.5, 13);
    blade.lineTo(22, 13);
    blade.lineTo(22, 15);
    blade.lineTo(19.5, 15);
    blade.lineTo(19.5, 13);
    blade.lineTo(14, 13);
    blade.closeSubpath();
    p.drawPath(blade);
    p.drawEllipse(QPointF(9, 11), 6.5, 6.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(7.3, 11), 2.0, 2.0);
    p.restore();
}

void building(QPainter& p, const QRectF& r, int columns, int rows)
{
    p.setPen(ink());
    p.setBrush(kWall);
    p.drawRect(r);
    const qreal cw = (r.width() - 3) / columns;
    const qreal rh = (r.height() - 6) / rows;
    p.setPen(ink(kInk, 0.9));
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < columns; ++col) {
            const bool lit = (row * 7 + col * 3) % 5 == 1;
            p.setBrush(lit ? kChip : kCard);
            p.drawRect(QRectF(r.left() + 2 + col * cw, r.top() + 2 + row * rh, cw - 1.6, rh - 1.6));
        }
    }
}

void cylinder(QPainter& p, const QRectF& r)
{
    const qreal lid = 4.0;
    p.setPen(ink());
    p.setBrush(kSteel.lighter(125));
    QPainterPath body;
    body.moveTo(r.left(), r.top() + lid / 2);
    body.lineTo(r.left(), r.bottom() - lid / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - lid, r.width(), lid), 180, 180);
    body.lineTo(r.right(), r.top() + lid / 2);
    p.drawPath(body);
    p.setBrush(kSteel.lighter(150));
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), lid));
    p.setBrush(Qt::NoBrush);
    for (qreal y : {r.top() + r.height() * 0.38, r.top() + r.height() * 0.68})
        p.drawArc(QRectF(r.left(), y - lid / 2, r.width(), lid), 180 * 16, 180 * 16);
}

void circularArrows(QPainter& p, const QPointF& c, qreal r, const QColor& color)
{
    p.setPen(ink(color, 2.0));
    p.setBrush(Qt::NoBrush);
    const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.drawArc(box, 20 * 16, 140 * 16);
    p.drawArc(box, 200 * 16, 140 * 16);
    auto head = [&](qreal degrees, qreal direction) {
        const qreal a = degrees * std::numbers::pi / 180;
        const QPointF tip = c + QPointF(std::cos(a), -std::sin(a)) * r;
        const QPointF tangent = QPointF(-std::sin(a), -std::cos(a)) * direction;
        const QPointF normal(std::cos(a), -std::sin(a));
        p.setPen(ink(color, 1.0));
        p.setBrush(color);
        p.drawPolygon(QPolygonF{tip + tangent * 2.6, tip - normal * 2.6, tip + normal * 2.6});
    };
    head(20, -1);
    head(200, -1);
}

// --- icons --------------------------------------------------------------------------------------

const QRectF kCardRect(2.5, 7.5, 22, 15);

void issueCard(QPainter& p)
{
    card(p, kCardRect);
    plusBadge(p);
}

void readCard(QPainter& p)
{
    card(p, kCardRect);
    eyeBadge(p);
}

void changeRoom(QPainter& p)
{
    door(p, QRectF(2.5, 6.5, 9, 19));
    door(p, QRectF(20.5, 6.5, 9, 19), kCard);
    arrow(p, {13.0, 12.0}, {19.0, 12.0});
    arrow(p, {19.0, 20.0}, {13.0, 20.0});
}

void changeCheckout(QPainter& p)
{
    card(p, QRectF(2.5, 4.5, 20, 13.5));
    clockFace(p, {21, 20}, 9, -60, 90);
}

void cancelCard(QPainter& p)
{
    card(p, kCardRect);
    crossBadge(p);
}

void cancelWithoutCard(QPainter& p)
{
    missingCard(p, kCardRect);
    crossBadge(p);
}

void shift(QPainter& p)
{
    person(p, {9, 6.5}, 0.95, kPersonA);
    person(p, {23, 6.5}, 0.95, kPersonB);
    arrow(p, {8, 23}, {23.5, 23}, kInk, 1.6);
    arrow(p, {24, 28.5}, {8.5, 28.5}, kInk, 1.6);
}

void changePassword(QPainter& p)
{
    key(p);
}

void lockApp(QPainter& p)
{
    padlock(p, QRectF(7, 14, 18, 14));
}

void workRecord(QPainter& p)
{
    paper(p, QRectF(6.5, 4.5, 19, 24), 5);
    p.setPen(ink());
    p.setBrush(kSteel);
    p.drawRoundedRect(QRectF(11.5, 2.5, 9, 4), 1.5, 1.5);
}

void issueCards(QPainter& p)
{
    cardStack(p, QRectF(2.5, 11.5, 20, 13.5));
    plusBadge(p);
}

void readCards(QPainter& p)
{
    cardStack(p, QRectF(2.5, 11.5, 20, 13.5));
    eyeBadge(p);
}

void updateTimeCard(QPainter& p)
{
    card(p, kCardRect);
    clockBadge(p);
}

void cancelCards(QPainter& p)
{
    cardStack(p, QRectF(2.5, 11.5, 20, 13.5));
    crossBadge(p);
}

void systemLog(QPainter& p)
{
    paper(p, QRectF(3.5, 2.5, 19, 25), 6);
    magnifier(p, {20, 19}, 5.5);
}

void cardLog(QPainter& p)
{
    paper(p, QRectF(10.5, 2.5, 18, 21), 5);
    card(p, QRectF(2.5, 15.5, 17, 12));
    magnifier(p, {22, 21}, 4.5);
}

void roomSetting(QPainter& p)
{
    building(p, QRectF(4.5, 3.5, 17, 26), 3, 5);
    gear(p, {24, 23}, 7, 7);
}

void systemParameters(QPainter& p)
{
    gear(p, {16, 16}, 13, 9);
}

void operators(QPainter& p)
{
    person(p, {21, 8}, 0.85, kPersonB);
    person(p, {11, 11}, 1.05, kPersonA);
}

void workAreas(QPainter& p)
{
    p.setPen(ink());
    const QColor zones[] = {kPersonA.lighter(140), kChip, kCard.lighter(130), kPersonB.lighter(130)};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(zones[i]);
        p.drawRect(QRectF(3.5 + (i % 2) * 12.5, 3.5 + (i / 2) * 12.5, 12.5, 12.5));
    }
    p.setPen(ink(kRed, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3.5, 3.5, 25, 12.5));
}

void tidyData(QPainter& p)
{
    cylinder(p, QRectF(3.5, 5.5, 15, 21));
    p.setPen(ink(kDoor.darker(120), 2.4));
    p.drawLine(QPointF(28, 4), QPointF(20, 19));
    p.setPen(ink());
    p.setBrush(kGold);
    QPolygonF bristles{{17, 17}, {23, 20}, {21, 29}, {13, 25}};
    p.drawPolygon(bristles);
}

void backup(QPainter& p)
{
    cylinder(p, QRectF(3.5, 4.5, 17, 23));
    const QPointF c = badge(p, kGreen, {24, 23}, 6.5);
    arrow(p, c + QPointF(0, -3.8), c + QPointF(0, 2.6), Qt::white, 1.8);
}

void restore(QPainter& p)
{
    cylinder(p, QRectF(3.5, 4.5, 17, 23));
    badge(p, kCard, {24, 23}, 6.5);
    circularArrows(p, {24, 23}, 3.6, Qt::white);
}

void guideCard(QPainter& p)
{
    card(p, kCardRect);
    const QPointF c = badge(p, kGold);
    QPolygonF needle{c + QPointF(0, -4.6), c + QPointF(2.2, 0), c + QPointF(0, 4.6), c + QPointF(-2.2, 0)};
    p.setPen(ink(kInk, 1.0));
    p.setBrush(kRed);
    p.drawPolygon(QPolygonF{needle[0], needle[1], needle[3]});
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF{needle[2], needle[1], needle[3]});
}

void openingRecords(QPainter& p)
{
    door(p, QRectF(3.5, 4.5, 12, 24));
    paper(p, QRectF(16.5, 9.5, 13, 18), 4);
}

void printing(QPainter& p)
{
    p.setPen(ink());
    p.setBrush(kPaper);
    p.drawRect(QRectF(9.5, 3.5, 13, 9));
    p.setBrush(kSteel);
    p.drawRoundedRect(QRectF(3.5, 11.5, 25, 11), 2, 2);
    p.setBrush(kPaper);
    p.drawRect(QRectF(9.5, 18.5, 13, 10));
    p.setPen(ink(kSteel, 1.2));
    p.drawLine(QPointF(12, 22), QPointF(20, 22));
    p.drawLine(QPointF(12, 25), QPointF(18, 25));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(24.5, 15), 1.3, 1.3);
}

void groupRights(QPainter& p)
{
    operators(p);
    const QPointF c = badge(p, kGreen);
    p.setPen(ink(Qt::white, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{c + QPointF(-3.2, 0.2), c + QPointF(-0.8, 2.6), c + QPointF(3.4, -2.4)});
}

void about(QPainter& p)
{
    p.setPen(ink());
    p.setBrush(kCard);
    p.drawEllipse(QPointF(16, 16), 13, 13);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 9.5), 2.2, 2.2);
    p.drawRoundedRect(QRectF(14, 13.5, 4, 11), 1.2, 1.2);
}

void exitProgram(QPainter& p)
{
    p.setPen(ink());
    p.setBrush(kWall);
    p.drawRect(QRectF(3.5, 3.5, 16, 25));
    door(p, QRectF(5.5, 5.5, 12, 23));
    arrow(p, {15, 16}, {29, 16}, kRed, 2.2);
}

using Painter = void (*)(QPainter&);
const std::vector<std::pair<const char*, Painter>>& catalogue()
{
    static const std::vector<std::pair<const char*, Painter>> icons{
        {"TB_issue_card", issueCard},
        {"TB_read_card", readCard},
        {"TB_chang_room", changeRoom},
        {"TB_chang_checkout", changeCheckout},
        {"TB_cancel_card", cancelCard},
        {"TB_cancel_nocard", cancelWithoutCard},
        {"TB_work_record", workRecord},
        {"TB_shift", shift},
        {"TB_chang_pwd", changePassword},
        {"TB_lock_app", lockApp},
        {"TB_issue_cards", issueCards},
        {"TB_read_cards", readCards},
        {"TB_update_timecard", updateTimeCard},
        {"TB_cancel_cards", cancelCards},
        {"TB_sys_log", systemLog},
        {"TB_card_log", cardLog},
        {"TB_room_setting", roomSetting},
        {"TB_setting_sys", systemParameters},
        {"TB_setting_operator", operators},
        // Menu commands without a tool button.
        {"M_clear_area", workAreas},
        {"N3", tidyData},
        {"N12", backup},
        {"N13", restore},
        {"N5", guideCard},
        {"N19", openingRecords},
        {"PDA3", printing},
        {"N8", groupRights},
        {"M_about_us", about},
        {"M_exit", exitProgram},
    };
    return icons;
}

} // namespace

QStringList names()
{
    QStringList list;
    for (const auto& [name, draw] : catalogue())
        list << QLatin1String(name);
    return list;
}

QImage icon(const QString& name)
{
    for (const auto& [entry, draw] : catalogue()) {
        if (name != QLatin1String(entry))
            continue;
        QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
        p.end();
        return image;
    }
    return {};
}

QStringList writeAll(const QString& folder)
{
    QStringList failed;
    const QDir dir(folder);
    if (!dir.mkpath(QStringLiteral(".")))
        return {folder};
    QString qrc;
    QTextStream list(&qrc);
    list << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/toolbar\">\n";
    for (const QString& name : names()) {
        const QString file = name + QStringLiteral(".png");
        if (!icon(name).save(dir.filePath(file)))
            failed << dir.filePath(file);
        list << "    <file>" << file << "</file>\n";
    }
    list << "</qresource>\n</RCC>\n";
    QFile out(dir.filePath(QStringLiteral("toolbar.qrc")));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(qrc.toUtf8()) < 0)
        failed << out.fileName();
    return failed;
}

} // namespace ToolbarIcons
