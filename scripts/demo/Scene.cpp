// Drawing of the demo scene; see Scene.h. Lengths are in units of 1/360 of
// the picture's height, so any size gives the same picture.
#include "Scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kWalkSpeed = 55.0;     // units per second the land moves by
constexpr double kLandmarkSpacing = 170.0;

// A repeatable pseudo-random number in [0, 1) for landmark `slot`.
double Hash01(int64_t slot, uint32_t salt) {
    uint32_t h = static_cast<uint32_t>(slot) * 2654435761u ^ salt * 2246822519u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    h *= 3266489917u;
    h ^= h >> 16;
    return h / 4294967296.0;
}

Point At(Point from, double angle, double length) {
    // Angle 0 points straight down, positive turns towards +x.
    return {from.x + std::sin(angle) * length, from.y + std::cos(angle) * length};
}

}  // namespace

Scene::Scene(Canvas& canvas) : canvas_(canvas) {}

double Scene::GroundAt(double worldX) const {
    double u = Unit();
    double x = worldX / u;
    return canvas_.height() * 0.82 - u * (9.0 * std::sin(x * 0.011) + 4.0 * std::sin(x * 0.029 + 1.3));
}

void Scene::Render(double seconds) {
    canvas_.Clear();
    double u = Unit();
    double scroll = kWalkSpeed * u * seconds;
    canvas_.Ground([&](double x) { return GroundAt(x + scroll); });
    DrawLandmarks(scroll, seconds);

    double walkerX = canvas_.width() * 0.36;
    Point kite = {walkerX + u * (160 + 18 * std::sin(seconds * 0.7)), u * (70 + 14 * std::sin(seconds * 1.1))};
    DrawWalker(walkerX, GroundAt(walkerX + scroll), seconds, kite);
    double dogX = walkerX - u * 62;
    DrawDog(dogX, GroundAt(dogX + scroll), seconds);
    DrawBirds(seconds);
}

void Scene::DrawLandmarks(double scroll, double seconds) {
    double u = Unit();
    double spacing = kLandmarkSpacing * u;
    auto first = static_cast<int64_t>(std::floor((scroll - 150 * u) / spacing));
    auto last = static_cast<int64_t>(std::ceil((scroll + canvas_.width() + 150 * u) / spacing));
    double sway = std::sin(seconds * 1.3);
    for (int64_t slot = first; slot <= last; ++slot) {
        double worldX = (slot + 0.5 * Hash01(slot, 1)) * spacing;
        double x = worldX - scroll;
        double ground = GroundAt(worldX) + 2 * u;
        double size = 0.8 + 0.5 * Hash01(slot, 2);
        double kind = Hash01(slot, 3);
        if (kind < 0.30) DrawLeafyTree(x, ground, size, sway);
        else if (kind < 0.52) DrawBareTree({x, ground}, 0.0, 48 * u * size, 5, sway * 0.04);
        else if (kind < 0.64) DrawWindmill(x, ground, size, seconds);
        else if (kind < 0.82) DrawFence(x, size, scroll);
    }
}

void Scene::DrawLeafyTree(double x, double ground, double size, double sway) {
    double u = Unit() * size;
    Point top = {x + sway * 2 * u, ground - 70 * u};
    canvas_.Limb({x, ground}, top, 6 * u, 3 * u);
    const double crown[][3] = {{0, -18, 26}, {-22, -4, 18}, {22, -6, 19}, {-12, 12, 17}, {14, 12, 16}, {0, -40, 16}};
    for (const auto& c : crown) canvas_.Disc({top.x + c[0] * u + sway * 3 * u, top.y + c[1] * u}, c[2] * u);
}

void Scene::DrawBareTree(Point base, double angle, double length, int depth, double sway) {
    Point tip = At(base, kPi + angle, length);
    canvas_.Limb(base, tip, std::max(0.6, length * 0.09), std::max(0.5, length * 0.06));
    if (depth == 0) return;
    // Each branch splits in two, a little shorter, bending with the wind.
    DrawBareTree(tip, angle - 0.45 + sway * (6 - depth), length * 0.72, depth - 1, sway);
    DrawBareTree(tip, angle + 0.38 + sway * (6 - depth), length * 0.68, depth - 1, sway);
}

void Scene::DrawWindmill(double x, double ground, double size, double seconds) {
    double u = Unit() * size;
    double top = ground - 95 * u;
    canvas_.Polygon({{x - 16 * u, ground}, {x + 16 * u, ground}, {x + 8 * u, top}, {x - 8 * u, top}});
    canvas_.Polygon({{x - 11 * u, top + 1 * u}, {x + 11 * u, top + 1 * u}, {x, top - 14 * u}});
    Point hub = {x, top - 2 * u};
    for (int blade = 0; blade < 4; ++blade) {
        double a = seconds * 1.4 + blade * kPi / 2;
        Point root = At(hub, a, 8 * u), end = At(hub, a, 58 * u);
        Point side = {std::cos(a) * 7 * u, -std::sin(a) * 7 * u};
        canvas_.Capsule(hub, end, 1.5 * u);
        canvas_.Polygon({root, end, {end.x + side.x, end.y + side.y}, {root.x + side.x, root.y + side.y}});
    }
    canvas_.Disc(hub, 4 * u);
}

void Scene::DrawFence(double x, double size, double scroll) {
    double u = Unit();
    int posts = 3 + static_cast<int>(size * 3);
    for (int i = 0; i < posts; ++i) {
        double px = x + i * 22 * u;
        double g = GroundAt(px + scroll) + 2 * u;
        canvas_.Capsule({px, g}, {px, g - 30 * u}, 2.2 * u);
        if (i > 0) {
            double qx = px - 22 * u, q = GroundAt(qx + scroll) + 2 * u;
            canvas_.Capsule({qx, q - 24 * u}, {px, g - 24 * u}, 1.4 * u);
            canvas_.Capsule({qx, q - 12 * u}, {px, g - 12 * u}, 1.4 * u);
        }
    }
}

void Scene::DrawWalker(double x, double ground, double seconds, Point kite) {
    double u = Unit();
    double phase = 2 * kPi * seconds / 1.1;  // one stride of both legs
    const double thigh = 27 * u, shin = 27 * u;
    double bob = 2.5 * u * std::fabs(std::cos(phase));
    Point hip = {x, ground - (thigh + shin) * 0.96 - bob + 2.5 * u};

    for (double side : {0.0, kPi}) {
        double a = phase + side;
        double swing = 0.42 * std::sin(a);
        double bend = 0.12 + 0.75 * std::pow(std::max(0.0, std::cos(a)), 1.5);
        Point knee = At(hip, swing, thigh);
        Point foot = At(knee, swing - bend, shin);
        canvas_.Limb(hip, knee, 5.5 * u, 4.2 * u);
        canvas_.Limb(knee, foot, 4.2 * u, 3.0 * u);
        canvas_.Capsule(foot, {foot.x + 7 * u, foot.y + 0.5 * u}, 2.6 * u);
    }

    const double lean = 0.08;
    Point shoulder = At(hip, kPi + lean, 46 * u);
    canvas_.Limb(hip, shoulder, 7.5 * u, 8.5 * u);
    // A coat that flares over the hips.
    canvas_.Polygon({{shoulder.x - 7 * u, shoulder.y + 6 * u}, {shoulder.x + 8 * u, shoulder.y + 6 * u},
                     {hip.x + 13 * u, hip.y + 12 * u}, {hip.x - 12 * u - 3 * u * std::sin(phase), hip.y + 14 * u}});

    // The back arm swings; the front arm holds the kite string up.
    double swing = -0.4 * std::sin(phase);
    Point elbow = At(shoulder, swing, 20 * u);
    canvas_.Limb(shoulder, elbow, 4 * u, 3.2 * u);
    canvas_.Limb(elbow, At(elbow, swing + 0.5, 19 * u), 3.2 * u, 2.4 * u);
    double reach = std::atan2(kite.x - shoulder.x, kite.y - shoulder.y);
    Point frontElbow = At(shoulder, reach * 0.8 + 0.6, 20 * u);
    Point hand = At(frontElbow, reach + 0.05 * std::sin(phase), 18 * u);
    canvas_.Limb(shoulder, frontElbow, 4 * u, 3.2 * u);
    canvas_.Limb(frontElbow, hand, 3.2 * u, 2.4 * u);
    canvas_.Disc(hand, 3.2 * u);

    Point neck = At(shoulder, kPi + lean, 6 * u);
    canvas_.Capsule(shoulder, neck, 3.5 * u);
    Point head = At(neck, kPi + lean, 9 * u);
    canvas_.Disc(head, 10 * u);
    canvas_.Disc({head.x + 9.5 * u, head.y + 1 * u}, 2.5 * u);  // nose
    // A top hat, tilted with the head.
    Point brim = At(head, kPi + lean, 8 * u);
    canvas_.Capsule({brim.x - 14 * u, brim.y + 1 * u}, {brim.x + 14 * u, brim.y - 1 * u}, 1.8 * u);
    canvas_.Polygon({{brim.x - 8.5 * u, brim.y}, {brim.x + 8.5 * u, brim.y},
                     {brim.x + 9 * u, brim.y - 20 * u}, {brim.x - 8 * u, brim.y - 20 * u}});

    DrawKite(kite, hand, seconds);
}

void Scene::DrawKite(Point kite, Point hand, double seconds) {
    double u = Unit();
    // The string sags between the hand and the kite.
    Point mid = {(hand.x + kite.x) / 2 + 10 * u, (hand.y + kite.y) / 2 + 28 * u};
    Point previous = hand;
    for (int i = 1; i <= 24; ++i) {
        double t = i / 24.0;
        Point p = {(1 - t) * (1 - t) * hand.x + 2 * t * (1 - t) * mid.x + t * t * kite.x,
                   (1 - t) * (1 - t) * hand.y + 2 * t * (1 - t) * mid.y + t * t * kite.y};
        canvas_.Capsule(previous, p, 0.7 * u);
        previous = p;
    }
    double tilt = 0.25 + 0.15 * std::sin(seconds * 1.9);
    auto rotate = [&](double dx, double dy) {
        return Point{kite.x + (dx * std::cos(tilt) - dy * std::sin(tilt)) * u,
                     kite.y + (dx * std::sin(tilt) + dy * std::cos(tilt)) * u};
    };
    canvas_.Polygon({rotate(0, -22), rotate(15, -4), rotate(0, 30), rotate(-15, -4)});
    // The tail flutters in a travelling wave, with a bow every few links.
    Point tail = rotate(0, 30);
    for (int i = 1; i <= 16; ++i) {
        Point next = {tail.x - 3.5 * u, tail.y + 4.5 * u + 3 * u * std::sin(seconds * 6 - i * 0.8)};
        canvas_.Capsule(tail, next, 0.7 * u);
        if (i % 4 == 0) {
            canvas_.Polygon({{next.x - 5 * u, next.y - 3 * u}, {next.x + 5 * u, next.y + 3 * u},
                             {next.x + 5 * u, next.y - 3 * u}, {next.x - 5 * u, next.y + 3 * u}});
        }
        tail = next;
    }
}

void Scene::DrawDog(double x, double ground, double seconds) {
    double u = Unit();
    double phase = 2 * kPi * seconds / 0.55;  // a trot, faster than the walk
    double hop = 1.5 * u * std::fabs(std::sin(phase));
    Point body = {x, ground - 22 * u - hop};
    canvas_.Ellipse(body, 17 * u, 7.5 * u);
    for (int leg = 0; leg < 4; ++leg) {
        double hx = body.x + (leg < 2 ? 11 : -11) * u;
        double a = 0.45 * std::sin(phase + (leg % 2 ? kPi : 0) + (leg < 2 ? 0 : kPi / 2));
        Point hipPoint = {hx, body.y + 3 * u};
        Point paw = At(hipPoint, a, 16 * u);
        canvas_.Limb(hipPoint, paw, 3 * u, 2 * u);
    }
    Point neck = {body.x + 15 * u, body.y - 6 * u};
    Point head = {body.x + 21 * u, body.y - 13 * u + 1.2 * u * std::sin(phase)};
    canvas_.Limb(neck, head, 5 * u, 4.5 * u);
    canvas_.Disc(head, 6 * u);
    canvas_.Capsule(head, {head.x + 9 * u, head.y + 2.5 * u}, 3 * u);  // snout
    canvas_.Polygon({{head.x - 4 * u, head.y - 3 * u}, {head.x + 1 * u, head.y - 4 * u}, {head.x - 4 * u, head.y - 13 * u}});
    double wag = 0.6 * std::sin(seconds * 14);
    Point tailRoot = {body.x - 16 * u, body.y - 3 * u};
    canvas_.Limb(tailRoot, At(tailRoot, kPi + 0.7 + 0.3 * wag, 15 * u), 2.4 * u, 1.2 * u);
}

void Scene::DrawBirds(double seconds) {
    double u = Unit();
    const double birds[][4] = {{0, 60, 38, 0.0}, {140, 85, 30, 1.7}, {260, 48, 44, 3.1}, {330, 100, 34, 4.4}};
    double span = canvas_.width() + 80 * u;
    for (const auto& b : birds) {
        double x = std::fmod(b[0] * u + b[2] * u * seconds, span) - 40 * u;
        double y = b[1] * u + 6 * u * std::sin(seconds * 0.9 + b[3]);
        double flap = std::sin(seconds * 9 + b[3]);
        Point body = {x, y};
        canvas_.Ellipse(body, 4.5 * u, 2 * u);
        for (double side : {-1.0, 1.0}) {
            Point elbow = {x + side * 7 * u, y - 3 * u - flap * 4 * u};
            Point tip = {x + side * 14 * u, y - 1 * u - flap * 8 * u};
            canvas_.Limb(body, elbow, 1.8 * u, 1.2 * u);
            canvas_.Limb(elbow, tip, 1.2 * u, 0.5 * u);
        }
    }
}

}  // namespace demo
