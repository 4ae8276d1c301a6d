#include "simulation/Scene.h"

#include <cmath>
#include <limits>

namespace halvane::simulation {

Scene ShoeboxScene(const ShoeboxRoom& room, int maxOrder, double speedOfSoundMPerS)
{
    Scene scene{room.source, room.listener, ImageSources(room, 0, maxOrder), std::nullopt};
    const double reverberationTimeS = ReverberationTimeS(room);
    if (!std::isfinite(reverberationTimeS)) return scene;
    double onsetMs = std::numeric_limits<double>::infinity();
    for (const ImageSource& image : ImageSources(room, maxOrder + 1, maxOrder + 1)) {
        onsetMs = std::min(onsetMs, Distance(image.position, room.listener) / speedOfSoundMPerS * 1000.0);
    }
    const double directPathM = Distance(room.source, room.listener);
    const double area = 0.161 * room.lengthM * room.widthM * room.heightM / reverberationTimeS;
    scene.tail = ReverberantTail{reverberationTimeS, onsetMs, 16.0 * kPi * directPathM * directPathM / area};
    return scene;
}

Scene OpenSiteScene(const OpenSite& site)
{
    Scene scene{site.source, site.listener, {}, std::nullopt};
    scene.images.push_back(ImageSource{site.source, 1.0, 0, {}});
    ImageSource ground{{site.source.xM, site.source.yM, -site.source.zM}, site.groundFactor, 1, {}};
    ground.bounces[static_cast<std::size_t>(Surface::Floor)] = 1;
    scene.images.push_back(ground);
    scene.images.insert(scene.images.end(), site.distant.begin(), site.distant.end());
    return scene;
}

ImageSource DistantImage(const OpenSite& site, const Direction& direction, double extraPathM, double factor)
{
    const double pathM = Distance(site.source, site.listener) + extraPathM;
    const Vector3 u = UnitVector(direction);
    ImageSource image{
        {site.listener.xM + pathM * u[0], site.listener.yM + pathM * u[1], site.listener.zM + pathM * u[2]},
        factor,
        1,
        {}};
    image.bounces[static_cast<std::size_t>(Surface::Distant)] = 1;
    return image;
}

}  // namespace halvane::simulation
