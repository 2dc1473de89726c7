#include "output/refused_file.h"

const char* refused_file_reason(plat::FileRefusal why) {
    switch (why) {
        case plat::FileRefusal::not_regular:
            return "is not a regular file: not used";
        case plat::FileRefusal::foreign_link:
            return "is a link of another user: not followed";
        case plat::FileRefusal::none:
        case plat::FileRefusal::missing:
        case plat::FileRefusal::failed:
            break;
    }
    return nullptr;
}
