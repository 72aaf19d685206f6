#include "export/FileFormatWriters.h"

#include "export/Bmp.h"
#include "export/Jpeg.h"
#include "export/Png.h"
#include "export/Pnm.h"
#include "export/Targa.h"
#include "export/Tiff.h"
#include "image/LibraryMessages.h"

#include <algorithm>
#include <cctype>

namespace {

bool ExtensionLess(const std::unique_ptr<TFileFormatWriter>& a,
                   const std::unique_ptr<TFileFormatWriter>& b) {
    return LowerCase(a->Extension) < LowerCase(b->Extension);
}

const TFileFormatWriterClass BMPClass{
    "TBMPFileFormatWriter", CreateFileFormatWriter<TBMPFileFormatWriter>, "bmp", "Bitmap", true,
    AllColorResolutions};

struct TExportLibrary {
    std::unique_ptr<TFileFormatWriter> StreamWriter;
    TFileFormatWriters Writers;

    TExportLibrary() {
        // The writer options hold their defaults from the start, so settings made before the
        // first save survive it.
        InitLibraryMessages();
        StreamWriter = CreateRegisteredWriter(BMPClass);
        for (const TFileFormatWriterClass& entry : FileFormatWriterClasses())
            Writers.Add(CreateRegisteredWriter(entry));
        // Sorted once here, while no other thread can see it: saves on several threads then
        // only read the order.
        Writers.EnsureOrder();
    }
};

TExportLibrary& ExportLibrary() {
    static TExportLibrary library;
    return library;
}

} // namespace

const std::vector<TFileFormatWriterClass>& FileFormatWriterClasses() {
    constexpr TPGColorResolutions JPEGResolutions =
        ColorResolutionBit(cr256Grays) | ColorResolutionBit(crTrueColor);
    constexpr TPGColorResolutions TIFFResolutions =
        AllColorResolutions & ~ColorResolutionBit(cr2Colors);
    // Registration order. A class registered under a second extension repeats its family's
    // description and resolutions; only the first extension of a family is listed.
    static const std::vector<TFileFormatWriterClass> classes{
        BMPClass,
        {"TDIBFileFormatWriter", CreateFileFormatWriter<TDIBFileFormatWriter>, "dib", "Bitmap",
         false, AllColorResolutions},
        {"TJPGFileFormatWriter", CreateFileFormatWriter<TJPGFileFormatWriter>, "jpg",
         "JPEG (JFIF compliant)", true, JPEGResolutions},
        {"TJPEGFileFormatWriter", CreateFileFormatWriter<TJPEGFileFormatWriter>, "jpeg",
         "JPEG (JFIF compliant)", false, JPEGResolutions},
        {"TJIFFileFormatWriter", CreateFileFormatWriter<TJIFFileFormatWriter>, "jif",
         "JPEG (JFIF compliant)", false, JPEGResolutions},
        {"TPNGFileFormatWriter", CreateFileFormatWriter<TPNGFileFormatWriter>, "png",
         "Portable Network Graphics", true, AllColorResolutions},
        {"TPBMFileFormatWriter", CreateFileFormatWriter<TPBMFileFormatWriter>, "pbm",
         "Portable Bitmap", true, ColorResolutionBit(crBlackWhite)},
        {"TPGMFileFormatWriter", CreateFileFormatWriter<TPGMFileFormatWriter>, "pgm",
         "Portable Graymap", true, ColorResolutionBit(cr256Grays)},
        {"TPPMFileFormatWriter", CreateFileFormatWriter<TPPMFileFormatWriter>, "ppm",
         "Portable Pixelmap", true, ColorResolutionBit(crTrueColor)},
        {"TTGAFileFormatWriter", CreateFileFormatWriter<TTGAFileFormatWriter>, "tga",
         "Truevision Targa", true,
         ColorResolutionBit(cr256Colors) | ColorResolutionBit(crTrueColor)},
        {"TTIFFileFormatWriter", CreateFileFormatWriter<TTIFFileFormatWriter>, "tif",
         "Tagged Image File Format", true, TIFFResolutions},
        {"TTIFFFileFormatWriter", CreateFileFormatWriter<TTIFFFileFormatWriter>, "tiff",
         "Tagged Image File Format", false, TIFFResolutions},
    };
    return classes;
}

std::unique_ptr<TFileFormatWriter> CreateRegisteredWriter(const TFileFormatWriterClass& entry) {
    std::unique_ptr<TFileFormatWriter> writer = entry.Create();
    writer->ClassName = entry.ClassName;
    writer->Extension = entry.Extension;
    writer->Description = entry.Description;
    writer->Listed = entry.Listed;
    writer->CanWriteResolutions = entry.CanWriteResolutions;
    return writer;
}

void TFileFormatWriters::Add(std::unique_ptr<TFileFormatWriter> writer) {
    FWriters.push_back(std::move(writer));
}

void TFileFormatWriters::Clear() {
    FWriters.clear();
}

void TFileFormatWriters::EnsureOrder() {
    if (!std::is_sorted(FWriters.begin(), FWriters.end(), ExtensionLess))
        std::sort(FWriters.begin(), FWriters.end(), ExtensionLess);
}

TFileFormatWriter* TFileFormatWriters::Find(std::string_view extension) {
    EnsureOrder();
    const std::string wanted = LowerCase(extension);
    for (const auto& writer : FWriters)
        if (LowerCase(writer->Extension) == wanted)
            return writer.get();
    return nullptr;
}

std::vector<TFileFormatWriter*> TFileFormatWriters::ListedWriters() {
    EnsureOrder();
    std::vector<TFileFormatWriter*> listed;
    for (const auto& writer : FWriters)
        if (writer->Listed)
            listed.push_back(writer.get());
    return listed;
}

std::string TFileFormatWriters::FilterString() {
    std::string filter;
    for (const TFileFormatWriter* writer : ListedWriters())
        filter += FilterEntry(writer->Extension, writer->Description);
    return filter;
}

std::string LowerCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string FilterEntry(std::string_view extension, std::string_view description) {
    return UpperCase(extension) + " - " + std::string(description) + "|*." + LowerCase(extension) +
           "|";
}

TFileFormatWriters& FileFormatWriters() {
    return ExportLibrary().Writers;
}

TFileFormatWriter& SaveImageStreamWriter() {
    return *ExportLibrary().StreamWriter;
}

void StartExportLibrary() {
    ExportLibrary();
}

std::string FileNameExtension(const std::string& fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos)
        return {};
    const std::size_t separator = fileName.find_last_of('/');
    if (separator != std::string::npos && separator > dot)
        return {};
    return fileName.substr(dot + 1);
}
