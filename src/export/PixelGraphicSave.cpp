#include "image/PixelGraphic.h"

#include "export/ColorResolution.h"
#include "export/FileFormatWriters.h"
#include "export/ReplacingFile.h"
#include "export/SaveSettings.h"
#include "export/WarningPrompt.h"
#include "image/LibraryMessages.h"
#include "image/PGExceptions.h"
#include "image/StreamErrors.h"

#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>

namespace {

using TWriteTarget = std::function<void(TFileFormatWriter& writer, TPixelGraphic& image)>;

TFileFormatWriter& FindWriter(const std::string& extension) {
    TFileFormatWriters& writers = FileFormatWriters();
    writers.EnsureOrder();
    if (writers.Count() == 0)
        throw EPGFileFormatWritersEmpty(FormatLibraryMessage(16, "FileFormatWriters"));
    TFileFormatWriter* writer = writers.Find(extension);
    if (!writer)
        throw EPGUnknownExtension(FormatLibraryMessage(19, LowerCase(extension)));
    return *writer;
}

// Acts on the image's colour-resolution warning action; refusing raises.
void ConfirmColorResolutionChange(const TPixelGraphic& image, const TFileFormatWriter& writer,
                                  TPGColorResolution current, TPGColorResolution chosen) {
    const TPGWarningAction action = image.SaveColorResWarningAction;
    bool refused = action == pgwaRaise;
    if (action == pgwaOKBox || action == pgwaOKCancelBox) {
        const std::string text = FormatLibraryMessage(
            17, writer.Description, ColorResolutionText(current), ColorResolutionText(chosen));
        const TPGPromptResult answer = ShowWarningPrompt(
            LibraryMessage(28), text,
            action == pgwaOKBox ? TPGPromptButtons::OK : TPGPromptButtons::OKCancel);
        refused = action == pgwaOKCancelBox && answer != TPGPromptResult::OK;
    }
    if (refused)
        throw EPGCannotWriteColorRes(
            FormatLibraryMessage(18, writer.Description, ColorResolutionText(current)));
}

void SaveAs(TPixelGraphic& image, std::string extension, const TWriteTarget& writeTarget) {
    // Waits for drawing still queued on the pixels.
    image.Bits();
    if (!extension.empty() && extension.front() == '.')
        extension.erase(0, 1);
    StartExportLibrary();
    TFileFormatWriter& writer = FindWriter(extension);

    image.IdentifyPalette();
    const TPGColorResolution current = ClassifyColorResolution(image);
    TPGColorResolution chosen;
    if (!ChooseColorResolution(current, writer.CanWriteResolutions, chosen))
        throw EPGCanWriteResolutionsEmpty(
            FormatLibraryMessage(16, writer.ClassName + ".CanWriteResolutions"));

    if (chosen == current) {
        image.IdentifyPalette();
        const std::scoped_lock writing(writer.Writing);
        writeTarget(writer, image);
        return;
    }
    ConfirmColorResolutionChange(image, writer, current, chosen);
    const std::unique_ptr<TPixelGraphic> converted = ConvertColorResolution(image, chosen);
    const std::scoped_lock writing(writer.Writing);
    writeTarget(writer, *converted);
}

// The writers' own texts of a write that failed, followed by the file and the system's reason.
template <class TError>
[[noreturn]] void RaiseNamingTheFile(const TError& error, const std::string& fileName,
                                     int errorNumber) {
    throw TError(EWriteError::NamingTheFile(error.what(), fileName, std::strerror(errorNumber)));
}

void WriteFile(TFileFormatWriter& writer, TPixelGraphic& image, const std::string& fileName) {
    TReplacingFile file(fileName);
    try {
        writer.WriteGraphic(file.Stream(), image);
    } catch (const EWriteError&) {
        if (file.WriteErrorNumber() == 0)
            throw;
        throw EWriteError(fileName, std::strerror(file.WriteErrorNumber()));
    } catch (const EPGPNGFileFormatReaderWriter& error) {
        if (file.WriteErrorNumber() == 0)
            throw;
        RaiseNamingTheFile(error, fileName, file.WriteErrorNumber());
    } catch (const EPGJPGFileFormatReaderWriter& error) {
        if (file.WriteErrorNumber() == 0)
            throw;
        RaiseNamingTheFile(error, fileName, file.WriteErrorNumber());
    }
    file.Commit();
}

} // namespace

void TPixelGraphic::SaveImageFile(const std::string& fileName) {
    SaveAs(*this, LowerCase(FileNameExtension(fileName)),
           [&fileName](TFileFormatWriter& writer, TPixelGraphic& image) {
               WriteFile(writer, image, fileName);
           });
}

void TPixelGraphic::SaveImageFile(const std::string& fileName, const TPGSaveSettings& settings) {
    const TSaveSettingsScope scope(settings);
    SaveImageFile(fileName);
}

void TPixelGraphic::SaveToStreamAs(std::ostream& stream, const std::string& extension) {
    SaveAs(*this, extension, [&stream](TFileFormatWriter& writer, TPixelGraphic& image) {
        writer.WriteGraphic(stream, image);
        // Bytes the stream still buffers are part of the save: their loss is its failure.
        stream.flush();
        if (!stream)
            throw EWriteError();
    });
}

std::vector<std::uint8_t> TPixelGraphic::CopyToClipboard() const {
    std::ostringstream dib(std::ios::binary);
    WriteDIB(dib);
    const std::string bytes = std::move(dib).str();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}
