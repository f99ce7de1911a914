// SPDX-License-Identifier: GPL-2.0-or-later
// Writes design files as the program writes them, for the schema's check:
//   design_samples DIR  ->  DIR/sample-N.padscreen
#include "document/design_file.h"
#include "random_design.h"

#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<std::string> paths = {dir + "/logo.bmp", dir + "/art/ok.gif", "/p/bg.jpg",
                                            dir + "/wide.png"};
    for (int seed = 1; seed <= 60; ++seed) {
        RandomDesigner designer(static_cast<std::uint64_t>(seed), paths);
        int size = 3;
        for (const std::string& p : paths) {
            designer.platform.pictures.add(p, size, size + 1);
            size = size * 7 % 400 + 1;
        }
        designer.platform.pictures.add(paths.back(), 30000, 1);
        designer.act(seed);
        // Every member: a load waiting for its status, the file it belongs to.
        designer.platform.files.choose(paths[0]);
        designer.program.run([&] { designer.form().cmdNewPicture.click(); });
        const auto design = document::design_of(designer.form(),
                                                 seed % 3 == 0 ? designer.document.pending_slot() : 0);
        const auto belonging = seed % 2 == 0 ? std::optional(designer.document.belonging())
                                             : std::nullopt;
        std::ofstream(dir + "/sample-" + std::to_string(seed) + ".padscreen")
            << document::write_design(design, dir, "samples", {}, belonging);
    }
    return 0;
}
