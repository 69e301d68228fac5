// Writes a synthetic key scene as raw frames for demos and tool tests:
//   make_key_scene W H SCENE nv12|i420|yuy2 DIR
// SCENE: green or blue (the test scenes), or one of the hard scenes
// pale-detail, spill-rim, hair, noisy, uneven, denim (blue screen).
// DIR/camera.raw, DIR/background.raw, DIR/truth.raw (the true composite).
// DIR is created when it does not exist.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "key_scene.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: make_key_scene W H green|blue|pale-detail|spill-rim|hair|noisy|"
                     "uneven|denim nv12|i420|yuy2 DIR\n");
        return 2;
    }
    const int w = std::atoi(argv[1]), h = std::atoi(argv[2]);
    const std::string backdrop = argv[3], format = argv[4], dir = argv[5];
    int hard = -1;
    for (testframes::HardScene kind : testframes::kHardScenes)
        if (backdrop == testframes::hard_scene_name(kind)) hard = static_cast<int>(kind);
    if (w < 4 || w % 4 != 0 || h < 2 || h % 2 != 0 ||
        (backdrop != "green" && backdrop != "blue" && hard < 0)) {
        std::fprintf(stderr, "make_key_scene: bad size or backdrop\n");
        return 2;
    }
    using testframes::Layout;
    const Layout layout = format == "nv12"   ? Layout::kNV12
                          : format == "i420" ? Layout::kI420
                                             : Layout::kYUY2;
    const testframes::KeyScene s =
        hard >= 0 ? testframes::make_hard_scene(w, h, testframes::kHardScenes[hard], 1)
                  : testframes::make_key_scene(w, h,
                                               backdrop == "green" ? testframes::Backdrop::kGreen
                                                                   : testframes::Backdrop::kBlue,
                                               1);
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "make_key_scene: cannot make the folder %s: %s\n", dir.c_str(),
                     error.message().c_str());
        return 1;
    }
    for (auto [name, picture] :
         {std::pair{"camera", &s.camera}, std::pair{"background", &s.background},
          std::pair{"truth", &s.truth}}) {
        std::ofstream out(dir + "/" + name + ".raw", std::ios::binary);
        for (const auto& plane : testframes::to_frame(*picture, layout).planes)
            out.write(reinterpret_cast<const char*>(plane.data()),
                      static_cast<std::streamsize>(plane.size()));
        if (!out) {
            std::fprintf(stderr, "make_key_scene: cannot write %s/%s.raw\n", dir.c_str(), name);
            return 1;
        }
    }
    return 0;
}
