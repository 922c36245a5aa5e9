// The demo film's scene: a walker with a kite and a dog, crossing a rolling
// countryside of trees, fences and windmills while birds fly over, all in
// black on white. Render(t) draws the moment t seconds into the film.
#pragma once

#include "Canvas.h"

namespace demo {

class Scene {
public:
    explicit Scene(Canvas& canvas);
    void Render(double seconds);

private:
    double Unit() const { return canvas_.height() / 360.0; }
    double GroundAt(double worldX) const;

    void DrawLandmarks(double scroll, double seconds);
    void DrawLeafyTree(double x, double ground, double size, double sway);
    void DrawBareTree(Point base, double angle, double length, int depth, double sway);
    void DrawWindmill(double x, double ground, double size, double seconds);
    void DrawFence(double x, double size, double scroll);
    void DrawWalker(double x, double ground, double seconds, Point kite);
    void DrawDog(double x, double ground, double seconds);
    void DrawKite(Point kite, Point hand, double seconds);
    void DrawBirds(double seconds);

    Canvas& canvas_;
};

}  // namespace demo
