// AMC file images and safe writing.
#include "tools/amcasm/amcasm.h"

#include "fileio/byteorder.h"
#include "fileio/fileio.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static void put16(std::vector<uint8_t>& out, uint16_t w)
{
    uint8_t le[2];
    put_le16(le, w);
    out.insert(out.end(), le, le + 2);
}

std::vector<uint8_t> amc_image_compiled(const AmcWords& programs)
{
    std::vector<uint8_t> out = {'A', 'M', 'C'};
    for (const auto& p : programs) {
        put16(out, (uint16_t)p.size());
        for (uint16_t w : p)
            put16(out, w);
    }
    put16(out, 0);
    return out;
}

std::vector<uint8_t> amc_image_list(const std::vector<std::string>& names)
{
    std::vector<uint8_t> out = {'A', 'M', 'L'};
    for (const auto& n : names) {
        out.insert(out.end(), n.begin(), n.end());
        out.push_back(0);
    }
    out.push_back(0);
    return out;
}

std::string amc_list_name_problem(const std::string& name)
{
    if (name.empty())
        return "an empty name would end the list";
    // The loader appends ".AMC" to the list's folder in a 128-byte buffer.
    if (name.size() > 100)
        return "name is longer than 100 characters";
    for (char c : name) {
        if (c == '/' || c == '\\' || c == ':')
            return "a name is a base name, without a folder";
        if (c == '.')
            return "a name has no extension (the loader adds \".AMC\")";
        if ((unsigned char)c < 32 || c == 127)
            return "name holds a control character";
    }
    return "";
}

std::string amc_parse_compiled(const std::vector<uint8_t>& image, AmcWords& programs,
                               size_t* trailing)
{
    programs.clear();
    if (trailing)
        *trailing = 0;
    if (image.size() < 3 || image[0] != 'A' || image[1] != 'M')
        return "not an AMC file";
    if (image[2] == 'L')
        return "a list file, not compiled programs";
    if (image[2] != 'C')
        return "unknown AMC file kind";
    size_t pos = 3;
    for (;;) {
        if (pos + 2 > image.size())
            return "file ends before its end marker";
        size_t count = get_le16(&image[pos]);
        pos += 2;
        if (count == 0)
            break;
        if (image.size() - pos < count * 2)
            return "program " + std::to_string(programs.size()) + " is cut short";
        std::vector<uint16_t> words(count);
        for (size_t i = 0; i < count; i++, pos += 2)
            words[i] = get_le16(&image[pos]);
        programs.push_back(std::move(words));
    }
    if (trailing)
        *trailing = image.size() - pos;
    return "";
}

std::string asm_write_file(const std::string& path, const void* data, size_t len)
{
    char why[160];
    if (!file_write_all(path.c_str(), data, len, why, sizeof why))
        return path + ": " + why;
    return "";
}
