#include "sim/basic_module.h"
#include "sim/boot_module.h"
#include "sim/config_module.h"
#include "sim/data_module.h"
#include "sim/echo_module.h"
#include "sim/fault_module.h"
#include "sim/module.h"

namespace sim {

std::vector<std::unique_ptr<Module>> makeModules()
{
    std::vector<std::unique_ptr<Module>> modules;
    modules.push_back(std::make_unique<FaultModule>()); // sees every byte and line first
    modules.push_back(std::make_unique<BasicModule>());
    modules.push_back(std::make_unique<EchoModule>()); // sees bytes before the boot code
    modules.push_back(std::make_unique<BootModule>());
    modules.push_back(std::make_unique<ConfigModule>());
    modules.push_back(std::make_unique<DataModule>());
    return modules;
}

} // namespace sim
