// Taking the plan file's name out of an activation message's field.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "plan_path.h"

namespace
{

TEST(PlanPath, CopiesOnlyWholeTerminatedNames)
{
    struct Row {
        std::string field; // the field's bytes
        size_t fieldBytes; // how many of them may be read
        size_t pathSize;
        int result;
        const char *path;
    } rows[] = {
        {std::string("C:\\plan.pln\0junk", 16), 16, 256, 1, "C:\\plan.pln"},
        {std::string("\0", 1), 1, 256, 1, ""},
        {std::string("abc\0", 4), 4, 4, 1, "abc"},
        {std::string("abcd\0", 5), 5, 4, 0, ""},
        {std::string("abcdef"), 6, 256, 0, ""},
        {std::string("abc\0", 4), 3, 256, 0, ""},
        {std::string("abc\0", 4), 0, 256, 0, ""},
    };
    for (const Row &r : rows) {
        char path[256];
        memset(path, 'Z', sizeof path);
        std::string field = r.field.substr(0, r.fieldBytes); // an exact copy of what may be read
        EXPECT_EQ(CopyPlanPath(path, r.pathSize, field.data(), r.fieldBytes), r.result) << r.field;
        EXPECT_STREQ(path, r.path) << r.field;
    }
}

} // namespace
