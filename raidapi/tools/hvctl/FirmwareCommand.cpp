#include "FirmwareCommand.h"

#include <memory>

void AddFirmwareCommand(CLI::App *app, Context *ctx) {
  Options &o = ctx->options;
  auto image = std::make_shared<std::string>();
  auto *firmware = app->add_subcommand("firmware", "download a firmware image");
  AddCommonOptions(firmware, &o, false);
  firmware->add_option("image", *image, "image file")->required();
  firmware->add_flag("-y,--yes", o.yes, "do not ask");
  firmware->callback([ctx, image] {
    ctx->run = [ctx, image] {
      if (!Confirmed(ctx->options, "firmware " + *image))
        return int(kExitRefused);
      return CallResult(
          "Download_Firmware",
          Download_Firmware(UChar(ctx->options.adapter), image->c_str()));
    };
  });
}
