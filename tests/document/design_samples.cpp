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
    const std::vector<std::string> paths = {dir + "/logo.bmp", dir + "/art/ok.gif", "/p/bg.jpg"};
    for (int seed = 1; seed <= 60; ++seed) {
        RandomDesigner designer(static_cast<std::uint64_t>(seed), paths);
        for (std::size_t k = 0; k < paths.size(); ++k) {
            designer.platform.pictures.add(paths[k], 3 + 3000 * static_cast<int>(k == 2), 7);
        }
        designer.act(seed);
        // Every member: a load waiting for its status, the file it belongs to.
        designer.platform.files.choose(paths[0]);
        designer.program.run([&] { designer.form().cmdNewPicture.click(); });
        const bool all = seed % 2 == 0;
        std::ofstream(dir + "/sample-" + std::to_string(seed) + ".padscreen") << document::write_design(
            document::design_of(designer.form(), all ? designer.document.pending_slot() : 0), dir,
            "samples", {}, all ? std::optional(designer.document.belonging()) : std::nullopt);
    }
    return 0;
}
