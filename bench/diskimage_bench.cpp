// Opening and saving a page inside an 800 KB ProDOS image (the whole image
// read, checked and written back through the safe replacement) beside the
// floor: saving the same 1024 bytes as a plain file the same safe way.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "diskimage/disk_image.h"
#include "runtime/file_objects.h"

namespace {

std::string folder;
const diskimage::Bytes page(diskimage::PageBytes, 0x5A);

void BM_FloorPlainPageSave(benchmark::State& state) {
    const std::string path = folder + "/page";
    for (auto _ : state) {
        runtime::CreateForWriting(0, path);
        runtime::WriteBytes(0, page.data(), page.size());
        benchmark::DoNotOptimize(runtime::CloseFileObject(0));
    }
}
BENCHMARK(BM_FloorPlainPageSave);

void BM_SavePageInto800KImage(benchmark::State& state) {
    const std::string image = folder + "/big.po";
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(diskimage::WritePageToImage(image, "PIC", page));
}
BENCHMARK(BM_SavePageInto800KImage);

void BM_SavePageInto140KImage(benchmark::State& state) {
    const std::string image = folder + "/small.dsk";
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(diskimage::WritePageToImage(image, "PIC", page));
}
BENCHMARK(BM_SavePageInto140KImage);

// The largest ProDOS volume, 65,535 blocks: the whole 32 MB read, checked
// and written back.
void BM_SavePageInto32MImage(benchmark::State& state) {
    const std::string image = folder + "/hard.hdv";
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(diskimage::WritePageToImage(image, "PIC", page));
}
BENCHMARK(BM_SavePageInto32MImage)->Unit(benchmark::kMillisecond);

void BM_OpenPageFrom800KImage(benchmark::State& state) {
    const std::string image = folder + "/big.po";
    diskimage::Bytes data;
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(diskimage::ReadImageFile(image, "PIC", data, error));
}
BENCHMARK(BM_OpenPageFrom800KImage);

}  // namespace

int main(int argc, char** argv) {
    char name[] = "/tmp/vornel-bench-XXXXXX";
    folder = mkdtemp(name);
    runtime::InitFiles();
    diskimage::Container c = diskimage::BlankContainer(diskimage::DiskBytes800K, diskimage::Order::ProDos, false);
    diskimage::prodos::Format(c, "BIG");
    std::string error;
    for (int i = 0; i < 40; ++i) diskimage::prodos::WritePage(c, std::string(1, 'F').append(std::to_string(i)), page, error);
    if (FILE* f = std::fopen((folder + "/big.po").c_str(), "wb")) {
        std::fwrite(c.file.data(), 1, c.file.size(), f);
        std::fclose(f);
    }
    diskimage::WritePageToImage(folder + "/big.po", "PIC", page);
    diskimage::Container hard = diskimage::BlankContainer(diskimage::MaxVolumeBlocks * diskimage::BlockBytes,
                                                          diskimage::Order::ProDos, false);
    diskimage::prodos::Format(hard, "HARD");
    if (FILE* f = std::fopen((folder + "/hard.hdv").c_str(), "wb")) {
        std::fwrite(hard.file.data(), 1, hard.file.size(), f);
        std::fclose(f);
    }
    diskimage::WritePageToImage(folder + "/hard.hdv", "PIC", page);
    diskimage::WritePageToImage(folder + "/small.dsk", "PIC", page);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return std::system(("rm -rf '" + folder + "'").c_str()) == 0 ? 0 : 1;
}
