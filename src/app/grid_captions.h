// What the main window shows of each transferred picture in the grid, and how it finds the
// picture behind a grid item.
#pragma once

#include "transfer/transfer.h"

#include <string>
#include <vector>

namespace orvix {

// The picture's file name, its size "(W x H)" ("(ERROR)" when it cannot be read) and its
// weight in kilobytes, on three lines.
std::string thumbnail_caption(const std::string& picture_path);

// The picture whose thumbnail is the file the grid shows; "" when no record, or more than
// one, has that thumbnail, so that an item never reaches a picture that is not its own.
std::string picture_of_thumbnail(const std::vector<TransferredPicture>& pictures,
                                 const std::string& thumb_path);

} // namespace orvix
