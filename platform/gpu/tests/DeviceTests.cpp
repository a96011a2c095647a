#include "GpuTestSupport.hpp"
#include "core/Bundle.hpp"
#include "core/Log.hpp"
#include "gpu/TextureLoader.hpp"
#include "graphics/Image.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace gpu {
namespace {

namespace fs = std::filesystem;
using testing::makeHalvesPipeline;

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = Device::createSystemDefaultDevice();
        ASSERT_TRUE(device) << "llvmpipe should give a device on every test machine";
        queue = device->newCommandQueue();
        quad = device->newBuffer(testing::quad.data(), sizeof(testing::quad));
    }

    // Draws the halves pipeline into a new target and reads it back for the colour space.
    std::shared_ptr<graphics::ImageRep> drawHalves(PixelFormat format, ColorSpace space,
                                                   std::array<float, 4> top, int width = 8, int height = 4) {
        auto target = device->newTexture({width, height, format, false, TextureUsage::renderTarget});
        EXPECT_TRUE(target);
        auto buffer = queue->commandBuffer();
        auto* encoder = buffer->renderCommandEncoder({{target, LoadAction::clear, {}}});
        const std::array<float, 2> size{float(width), float(height)};
        encoder->setRenderPipelineState(makeHalvesPipeline(*device, format));
        encoder->setViewport({0, 0, double(width), double(height), 0, 1});
        encoder->setVertexBuffer(quad, 0, 0);
        encoder->setFragmentBytes(size.data(), sizeof(size), 0);
        encoder->setFragmentBytes(top.data(), sizeof(top), 1);
        encoder->drawPrimitives(PrimitiveType::triangleStrip, 0, 4);
        encoder->endEncoding();
        buffer->commit();
        auto image = graphics::ImageRep::make(width, height, {double(width), double(height)});
        EXPECT_TRUE(device->copyToImage(*target, space, *image));
        return image;
    }

    std::shared_ptr<Device> device;
    std::shared_ptr<CommandQueue> queue;
    std::shared_ptr<Buffer> quad;
};

TEST_F(DeviceTest, FramesReadBackUprightAndConvertedForTheirColourSpace) {
    // Linear 0.5 encodes to sRGB 188; the bottom half is blue and the top row is the top colour.
    auto srgb =
        drawHalves(PixelFormat::rgba16Float, ColorSpace::extendedLinearSRGB, {0.5f, 0.0f, 0.0f, 1.0f});
    EXPECT_NEAR(srgb->pixel(0, 0).r, 188, 1);
    EXPECT_EQ(srgb->pixel(0, 0).b, 0);
    EXPECT_EQ(srgb->pixel(7, 3).b, 255);
    EXPECT_EQ(srgb->pixel(7, 3).r, 0);

    // Extended values clamp (and NaN does not survive); display-encoded formats pass through.
    auto extended =
        drawHalves(PixelFormat::rgba16Float, ColorSpace::extendedLinearSRGB, {4.0f, -2.0f, 0.0f, 1.0f});
    EXPECT_EQ(extended->pixel(2, 1), (graphics::ImageRep::RGBA{255, 0, 0, 255}));
    auto plain = drawHalves(PixelFormat::bgra8Unorm, ColorSpace::none, {0.5f, 0.25f, 0.0f, 1.0f});
    EXPECT_NEAR(plain->pixel(1, 1).r, 128, 1);
    EXPECT_NEAR(plain->pixel(1, 1).g, 64, 1);

    // Display P3 green at half intensity lies outside sRGB: converted, clamped, then encoded.
    auto p3 =
        drawHalves(PixelFormat::rgba16Float, ColorSpace::extendedLinearDisplayP3, {0.0f, 0.5f, 0.0f, 1.0f});
    EXPECT_EQ(p3->pixel(0, 0).r, 0);
    EXPECT_NEAR(p3->pixel(0, 0).g, 191, 1);
    EXPECT_EQ(p3->pixel(0, 0).b, 0);
}

TEST_F(DeviceTest, PipelineErrorsNameWhatFailed) {
    RenderPipelineDescriptor descriptor;
    descriptor.label = "Broken";
    descriptor.colorPixelFormat = PixelFormat::rgba16Float;
    descriptor.vertexFunction =
        std::make_shared<Function>("quadVertex", FunctionStage::vertex, testing::quadVertexSource);
    try {
        device->newRenderPipelineState(descriptor);
        FAIL() << "a pipeline without a fragment function was made";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "Pipeline \"Broken\" has no fragment function");
    }

    descriptor.fragmentFunction = std::make_shared<Function>("typoFragment", FunctionStage::fragment,
                                                             "out vec4 c; void main() { c = nope; }");
    try {
        device->newRenderPipelineState(descriptor);
        FAIL() << "a fragment function that does not compile was accepted";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("compiling typoFragment failed"), std::string::npos)
            << error.what();
    }

    descriptor.fragmentFunction = descriptor.vertexFunction;
    EXPECT_THROW(device->newRenderPipelineState(descriptor), Error);
}

TEST_F(DeviceTest, MisfitInputsAndFormatsDrawNothingAndSaySo) {
    auto target = device->newTexture({4, 4, PixelFormat::rgba16Float, false, TextureUsage::renderTarget});
    auto pipeline = makeHalvesPipeline(*device, PixelFormat::rgba16Float);
    auto wrongFormat = makeHalvesPipeline(*device, PixelFormat::bgra8Unorm);
    core::LogCapture log;

    auto buffer = queue->commandBuffer();
    auto* encoder = buffer->renderCommandEncoder({{target, LoadAction::clear, {0, 1, 0, 1}}});
    const float oneFloat = 1;
    encoder->setRenderPipelineState(pipeline);
    encoder->setVertexBuffer(quad, 0, 0);
    encoder->setFragmentBytes(&oneFloat, sizeof(oneFloat), 0); // viewportSize wants 8 bytes
    encoder->drawPrimitives(PrimitiveType::triangleStrip, 0, 4);
    encoder->setRenderPipelineState(wrongFormat);
    encoder->drawPrimitives(PrimitiveType::triangleStrip, 0, 4);
    encoder->endEncoding();
    buffer->commit();
    EXPECT_TRUE(log.contains("4 bytes do not fit fragment input 0 of pipeline \"Halves\""));
    EXPECT_TRUE(log.contains("does not match the format of its pass"));

    // An encoder left open drops its pass, and nothing is encoded after it ended.
    auto open = queue->commandBuffer();
    auto* openEncoder = open->renderCommandEncoder({{target, LoadAction::clear, {}}});
    EXPECT_EQ(open->renderCommandEncoder({{target, LoadAction::clear, {}}}), nullptr);
    open->commit();
    EXPECT_TRUE(log.contains("committed with an open encoder"));
    openEncoder->endEncoding();
    openEncoder->drawPrimitives(PrimitiveType::triangleStrip, 0, 4);
    EXPECT_TRUE(openEncoder->commands().empty());
}

TEST_F(DeviceTest, QueuesReportCommitsAndPresentOnlyWhatWasPresented) {
    auto target = device->newTexture({2, 2, PixelFormat::rgba16Float, false, TextureUsage::renderTarget});
    int shown = 0;
    auto drawable = std::make_shared<Drawable>(target, [&](const Drawable&) { ++shown; });
    std::vector<std::string> committed;
    queue->setCommittedHandler([&](const CommandBuffer& buffer) { committed.push_back(buffer.label()); });

    auto first = queue->commandBuffer();
    first->setLabel("First");
    first->renderCommandEncoder({{target, LoadAction::clear, {}}})->endEncoding();
    first->presentDrawable(drawable);
    first->commit();
    first->commit();
    auto second = queue->commandBuffer();
    second->setLabel("Second");
    second->commit();
    EXPECT_EQ(committed, (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(shown, 1);

    // A buffer that nobody holds any more is handed out again, cleared.
    first.reset();
    second.reset();
    auto reused = queue->commandBuffer();
    EXPECT_TRUE(reused->label().empty());
    EXPECT_FALSE(reused->isCommitted());
    EXPECT_EQ(reused->encoder(), nullptr);

    queue->setFailsToMakeEncoders(true);
    EXPECT_EQ(queue->commandBuffer()->renderCommandEncoder({{target, LoadAction::clear, {}}}), nullptr);
    queue->setFailsToMakeCommandBuffers(true);
    EXPECT_EQ(queue->commandBuffer(), nullptr);
    device->setFailsToMakeCommandQueues(true);
    EXPECT_EQ(device->newCommandQueue(), nullptr);
}

TEST(DeviceAvailability, TheEnvironmentCanTakeTheDeviceAway) {
    setenv("TESSARAY_NO_GPU", "1", 1);
    EXPECT_EQ(Device::createSystemDefaultDevice(), nullptr);
    setenv("TESSARAY_NO_GPU", "0", 1);
    EXPECT_NE(Device::createSystemDefaultDevice(), nullptr);
    unsetenv("TESSARAY_NO_GPU");
}

// A bundle in a temporary directory, written file by file.
class BundleFixture : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        root = fs::temp_directory_path() / ("gpu-bundle-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(root / "Resources");
    }
    void TearDown() override { fs::remove_all(root); }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(root / "Resources" / name) << text;
    }
    core::Bundle bundle() const { return core::Bundle(root); }

    fs::path root;
};

TEST_F(BundleFixture, LibrariesComeFromTheBundleManifest) {
    write("Quad.vert", testing::quadVertexSource);
    write("Halves.frag", testing::halvesFragmentSource);
    write("library.json", R"({"functions": {
        "quadVertex": {"stage": "vertex", "source": "Quad.vert"},
        "halvesFragment": {"stage": "fragment", "source": "Halves.frag", "inputs": ["viewportSize", "topColor"],
                           "textures": [{"name": "unused", "address": "repeat"}]}}})");
    auto library = device->newDefaultLibrary(bundle());
    ASSERT_TRUE(library->newFunction("halvesFragment"));
    EXPECT_EQ(library->newFunction("halvesFragment")->inputs(),
              (std::vector<std::string>{"viewportSize", "topColor"}));
    EXPECT_EQ(library->newFunction("halvesFragment")->textures().at(0).address, AddressMode::repeat);
    EXPECT_EQ(library->newFunction("missing"), nullptr);

    RenderPipelineDescriptor descriptor{"From bundle", library->newFunction("quadVertex"),
                                        library->newFunction("halvesFragment"), PixelFormat::rgba16Float};
    auto pipeline = device->newRenderPipelineState(descriptor);
    EXPECT_NE(pipeline->fragmentInput(1), nullptr);
    EXPECT_EQ(pipeline->fragmentInput(1)->byteLength, 16u);
    EXPECT_EQ(pipeline->fragmentInput(2), nullptr);
}

TEST_F(BundleFixture, BrokenLibrariesAreErrorsThatSayWhy) {
    auto messageOf = [&] {
        try {
            device->newDefaultLibrary(bundle());
        } catch (const Error& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_NE(messageOf().find("has no shader library"), std::string::npos);
    write("library.json", "{\"functions\": [1, 2");
    EXPECT_NE(messageOf().find("is malformed"), std::string::npos);
    write("library.json", R"({"functions": {"f": {"stage": "fragment", "source": "Gone.frag"}}})");
    EXPECT_EQ(messageOf(), "The source Gone.frag of shader function f is missing");
    write("library.json", R"({"functions": {"f": {"stage": "fragment", "source": "../../etc/passwd"}}})");
    EXPECT_NE(messageOf().find("is missing"), std::string::npos);
    write("Some.frag", "void main() {}");
    write("library.json", R"({"functions": {"f": {"stage": "geometry", "source": "Some.frag"}}})");
    EXPECT_EQ(messageOf(), "The shader function f has no valid stage");
}

TEST_F(BundleFixture, TexturesLoadTheVariantForTheScale) {
    auto writeImage = [&](const std::string& name, int side) {
        auto rep = graphics::ImageRep::make(side, side, {double(side), double(side)});
        auto png = rep->pngData();
        std::ofstream(root / "Resources" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    };
    writeImage("logo.png", 4);
    writeImage("logo@2x.png", 8);
    writeImage("flat.png", 3);
    TextureLoader loader(device);
    EXPECT_EQ(loader.newTexture("logo", 1.0, bundle())->width(), 4);
    EXPECT_EQ(loader.newTexture("logo", 2.0, bundle())->width(), 8);
    EXPECT_EQ(loader.newTexture("flat", 2.0, bundle())->width(), 3);
    EXPECT_TRUE(loader.newTexture("logo", 1.0, bundle())->isSRGB());
    try {
        loader.newTexture("absent", 1.0, bundle());
        FAIL();
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "Could not find resource absent at specified location.");
    }
    write("junk.png", "not a png");
    EXPECT_THROW(loader.newTexture("junk", 1.0, bundle()), Error);
}

} // namespace
} // namespace gpu
