// Moving a column's value between a record image and SQLite: binding it as a statement's
// parameter, and storing a result column back into the image.
#pragma once

#include <sqlite3.h>
#include <string>
#include <vector>

#include "files/sqlite/record_layout.h"

namespace kes::sqlite {

// BLOB contents, one per BLOB of the file, beside the record image.
using BlobContents = std::vector<std::string>;

// Binds the column's value in `image` (and `blobs`) to parameter `parameter`. Returns the
// SQLite result code.
int bind_column(sqlite3_stmt* statement, int parameter, const Column& column,
                const unsigned char* image, const BlobContents& blobs);

// Stores result column `result` into `image` (or `blobs`): blank or zero for NULL; texts and
// bytes cut to the field's size, the rest padded with blanks (texts, MEMOs) or zero bytes.
void load_column(sqlite3_stmt* statement, int result, const Column& column, unsigned char* image,
                 BlobContents& blobs);

}  // namespace kes::sqlite
