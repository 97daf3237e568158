// The installed bundles as a host reads them: both plug-ins with every port, its name, range,
// default and properties as the plug-in itself gives them, the factory presets and the editor UI.
#include "tests/lv2/plugin_cases.h"

#include <lv2/core/lv2.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/ui/ui.h>

#include <set>

using namespace orvtest;
using orv::lv2::kFirstParameterPort;
using orv::lv2::PortKind;

namespace {

class Lv2Bundle : public testing::TestWithParam<PluginCase> {
protected:
    bool has(const LilvPort* port, const char* propertyUri) {
        LilvNode* n = lilv_new_uri(lv2World(), propertyUri);
        const bool yes = lilv_port_has_property(plugin, port, n);
        lilv_node_free(n);
        return yes;
    }
    std::string trimmed(std::string s) {
        const auto a = s.find_first_not_of(' ');
        return a == std::string::npos ? "" : s.substr(a, s.find_last_not_of(' ') - a + 1);
    }
    void SetUp() override {
        plugin = lv2Plugin(GetParam().uri);
        ASSERT_NE(plugin, nullptr) << GetParam().uri << " is not installed in " << std::getenv("LV2_PATH");
    }
    const LilvPlugin* plugin = nullptr;
};

TEST_P(Lv2Bundle, EveryParameterIsAPortWithThePluginsNameRangeAndDefault) {
    EXPECT_TRUE(lilv_plugin_verify(plugin));
    const orv::lv2::PluginDescription& d = GetParam().ports();
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), kFirstParameterPort + d.numPorts);

    VstReference vst(GetParam(), 48000);
    ASSERT_TRUE(vst.ok());
    AEffect* fx = vst.effect();
    const std::uint32_t n = lilv_plugin_get_num_ports(plugin);
    std::vector<float> mins(n), maxs(n), defs(n);
    lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxs.data(), defs.data());
    std::set<std::string> symbols;
    for (int i = 0; i < d.numPorts; ++i) {
        const orv::lv2::ParameterPort& p = d.ports[i];
        const std::uint32_t index = kFirstParameterPort + i;
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
        ASSERT_NE(port, nullptr);
        SCOPED_TRACE(p.symbol);
        EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), p.symbol);
        EXPECT_TRUE(symbols.insert(p.symbol).second);
        char name[256] = {};
        fx->dispatcher(fx, effGetParamName, p.index, 0, name, 0.0f);
        LilvNode* portName = lilv_port_get_name(plugin, port);
        EXPECT_EQ(lilv_node_as_string(portName), trimmed(name));
        lilv_node_free(portName);
        // The default is the plug-in's own start (its Default preset), to the bit.
        EXPECT_EQ(defs[index], orv::lv2::unitValue(p, fx->getParameter(fx, p.index)));
        EXPECT_EQ(mins[index], orv::lv2::unitMinimum(p));
        EXPECT_EQ(maxs[index], orv::lv2::unitMaximum(p));
        EXPECT_EQ(has(port, LV2_CORE__toggled), p.kind == PortKind::Toggle);
        EXPECT_EQ(has(port, LV2_CORE__enumeration), p.kind == PortKind::Choice);
        EXPECT_EQ(has(port, LV2_PORT_PROPS__logarithmic), p.kind == PortKind::Power);
        if (p.kind == PortKind::Choice) {
            // Each choice is labelled with the plug-in's display of that step.
            LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
            ASSERT_EQ(lilv_scale_points_size(points), static_cast<unsigned>(p.choices));
            LILV_FOREACH (scale_points, it, points) {
                const LilvScalePoint* sp = lilv_scale_points_get(points, it);
                const float k = lilv_node_as_float(lilv_scale_point_get_value(sp));
                fx->setParameter(fx, p.index, orv::lv2::normalisedValue(p, k));
                char display[256] = {};
                fx->dispatcher(fx, effGetParamDisplay, p.index, 0, display, 0.0f);
                EXPECT_EQ(lilv_node_as_string(lilv_scale_point_get_label(sp)), trimmed(display));
                EXPECT_EQ(orv::lv2::unitValue(p, fx->getParameter(fx, p.index)), k);
            }
            lilv_scale_points_free(points);
        }
    }
}

TEST_P(Lv2Bundle, AudioSideChainLatencyAndGainReductionPorts) {
    auto port = [&](std::uint32_t i) { return lilv_plugin_get_port_by_index(plugin, i); };
    LilvNode* input = lilv_new_uri(lv2World(), LV2_CORE__InputPort);
    LilvNode* audio = lilv_new_uri(lv2World(), LV2_CORE__AudioPort);
    for (std::uint32_t i : {0u, 1u, 2u, 3u, 4u, 5u}) {
        EXPECT_TRUE(lilv_port_is_a(plugin, port(i), audio)) << i;
        EXPECT_EQ(lilv_port_is_a(plugin, port(i), input), i < 4) << i;
    }
    lilv_node_free(input);
    lilv_node_free(audio);
    for (std::uint32_t i : {2u, 3u}) {
        EXPECT_TRUE(has(port(i), LV2_CORE_PREFIX "isSideChain")) << i;
        EXPECT_TRUE(has(port(i), LV2_CORE__connectionOptional)) << i;
    }
    for (std::uint32_t i : {0u, 1u, 4u, 5u}) EXPECT_FALSE(has(port(i), LV2_CORE_PREFIX "isSideChain")) << i;
    EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin), static_cast<std::uint32_t>(orv::lv2::kLatency));
    EXPECT_TRUE(has(port(orv::lv2::kLatency), LV2_CORE__reportsLatency));
    LilvNode* output = lilv_new_uri(lv2World(), LV2_CORE__OutputPort);
    LilvNode* control = lilv_new_uri(lv2World(), LV2_CORE__ControlPort);
    for (std::uint32_t i : {orv::lv2::kGainReductionLeft, orv::lv2::kGainReductionRight}) {
        EXPECT_TRUE(lilv_port_is_a(plugin, port(i), output));
        EXPECT_TRUE(lilv_port_is_a(plugin, port(i), control));
    }
    lilv_node_free(output);
    lilv_node_free(control);
}

TEST_P(Lv2Bundle, TheFactoryPresetsAreTheBundlesPresets) {
    LilvNode* presetClass = lilv_new_uri(lv2World(), LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(plugin, presetClass);
    std::set<std::string> labels;
    LilvNode* label = lilv_new_uri(lv2World(), LILV_NS_RDFS "label");
    LILV_FOREACH (nodes, it, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(lv2World(), preset);
        LilvNodes* names = lilv_world_find_nodes(lv2World(), preset, label, nullptr);
        ASSERT_NE(names, nullptr);
        labels.insert(lilv_node_as_string(lilv_nodes_get_first(names)));
        lilv_nodes_free(names);
    }
    std::set<std::string> factory;
    for (int n = 0; n < kNumPresets; ++n) factory.insert(kFactoryPresetNames[n]);
    EXPECT_EQ(labels, factory);
    lilv_node_free(label);
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
}

TEST_P(Lv2Bundle, TheEditorIsAnX11UiInThePluginsBinary) {
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    LilvNode* x11 = lilv_new_uri(lv2World(), LV2_UI__X11UI);
    EXPECT_TRUE(lilv_ui_is_a(ui, x11));
    EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), lilv_node_as_uri(lilv_plugin_get_library_uri(plugin)));
    LilvNode* feature = lilv_new_uri(lv2World(), LV2_CORE__requiredFeature);
    LilvNodes* required = lilv_world_find_nodes(lv2World(), lilv_ui_get_uri(ui), feature, nullptr);
    std::set<std::string> features;
    LILV_FOREACH (nodes, it, required) features.insert(lilv_node_as_uri(lilv_nodes_get(required, it)));
    EXPECT_EQ(features, (std::set<std::string>{LV2_UI__parent, LV2_UI__idleInterface,
                                               "http://lv2plug.in/ns/ext/instance-access"}));
    lilv_nodes_free(required);
    lilv_node_free(feature);
    lilv_node_free(x11);
    lilv_uis_free(uis);
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, Lv2Bundle, testing::Values(kBorealisCase, kKestrelCase), caseName);

}  // namespace
