// Loads a program image: validates it, binds its DLL commands and support
// libraries, places and relocates its sections and binds its routine records to
// the routines the executable exports.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>

#include "image/form_format.h"
#include "image/image_loader.h"
#include "image/image_reader.h"
#include "kernel/dll_binding.h"
#include "abi/tolvar_abi.h"

namespace tolvar::kernel {

struct Program {
    image::ReadImage read;
    image::LoadedBlock block;
    DllBinding dlls;
    image::Form form;
    std::unordered_map<uint32_t, tolvar_routine> routines;  // by the record's block offset
    tolvar_routine start = nullptr;

    ~Program();
    // The routine whose record lies at this image-relative address, or null.
    tolvar_routine routine_at(uint64_t address) const;
};

std::unique_ptr<Program> load_program(std::span<const uint8_t> image, const tolvar_services &services,
                                      const std::string &stand_in_folder, std::string &error);

}  // namespace tolvar::kernel
